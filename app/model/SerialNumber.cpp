#include "app/model/SerialNumber.hpp"

#include "app/text/UnicodeText.hpp"

#include <algorithm>

namespace ampwell {

std::string normalizedSerial(const std::string& serial) {
    std::string trimmed = trimmedWhitespaceAndNewlines(serial);
    trimmed.erase(std::remove(trimmed.begin(), trimmed.end(), '-'), trimmed.end());
    return lowercased(trimmed);
}

}  // namespace ampwell
