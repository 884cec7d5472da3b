#pragma once
// A small XML reader for the documents an add-in hands Office: elements, attributes, the five
// predefined entities and numeric character references, comments, the XML declaration and
// whitespace between elements. Anything else (a DOCTYPE, CDATA, processing instructions, text that
// is not blank) is refused, as is any well-formedness error.
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace sim::xml {

struct Attribute {
    std::wstring name;  // as written, with its prefix
    std::wstring value;  // references replaced
    int line;
};

struct Element {
    std::wstring name;  // as written, with its prefix
    std::vector<Attribute> attributes;
    std::vector<Element> children;
    bool hasText = false;  // text other than whitespace appeared inside it
    int line;

    const Attribute* attribute(std::wstring_view attributeName) const;
};

struct Error {
    int line;
    std::wstring message;
};

// The document's root element, or the first error with its 1-based line.
struct Parsed {
    std::optional<Element> root;
    std::optional<Error> error;
};
Parsed parse(std::wstring_view text);

}  // namespace sim::xml
