#pragma once
// The in-memory fake of the automation port: host::Object handles onto the Outlook model. Each
// handle holds one counted reference to its model object, exactly as a COM interface pointer would.
#include "host/automation.h"
#include "sim/model/outlook_model.h"

namespace fakes {

// A new reference to node, as the host would hand it to the add-in.
host::Object wrap(sim::Node& node);
host::Object wrap(sim::Node* node);  // null gives Nothing

}  // namespace fakes
