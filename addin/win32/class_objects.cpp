#include "addin/win32/class_objects.h"

#include "DODuruda_Vored_h.h"
#include "addin/win32/apartment.h"
#include "addin/win32/connect_object.h"
#include "com/boundary.h"
#include "com/class_factory.h"
#include "hub/win32/out_addin_object.h"

namespace zeltra::server {
namespace {

void startup(Component& component) { Main(component.modOutlook, component.desktop, component.objects); }

// The apartment's start-up routine runs before its first object exists.
template <HRESULT (*create)(Component&, REFIID, void**) noexcept>
HRESULT createInApartment(REFIID iid, void** out) noexcept try {
    return create(apartmentComponent(&startup), iid, out);
} catch (...) {
    return com::hresultFromCaughtException();
}

constexpr com::CreatableClass creatableClasses[] = {
    {&CLSID_Connect, &createInApartment<&ConnectObject::createInstance>},
    {&CLSID_OutAddIn, &createInApartment<&OutAddInObject::createInstance>},
};

}  // namespace

HRESULT getClassObject(REFCLSID clsid, REFIID iid, void** out) noexcept {
    return com::getClassObject(creatableClasses, clsid, iid, out);
}

}  // namespace zeltra::server
