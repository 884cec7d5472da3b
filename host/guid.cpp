#include "host/guid.h"

#include "host/number_text.h"

namespace host {

std::string toString(const Guid& g) {
    std::string text = "{";
    const auto hex = [&text](std::uint32_t value, int digits) { text += hexText(value, digits).substr(2); };
    hex(g.data1, 8);
    text += '-';
    hex(g.data2, 4);
    text += '-';
    hex(g.data3, 4);
    text += '-';
    for (std::size_t i = 0; i < g.data4.size(); ++i) {
        if (i == 2) text += '-';
        hex(g.data4[i], 2);
    }
    return text + '}';
}

std::wstring toWString(const Guid& g) {
    const std::string narrow = toString(g);
    return {narrow.begin(), narrow.end()};
}

}  // namespace host
