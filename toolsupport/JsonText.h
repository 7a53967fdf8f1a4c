#pragma once

#include <string>

namespace uhf {

// `text` as a JSON string, or null for an empty text.
std::string JsonText(const std::string& text);

}  // namespace uhf
