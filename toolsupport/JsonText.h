#pragma once

#include <string>
#include <vector>

namespace uhf {

// `text` as a JSON string, or null for an empty text.
std::string JsonText(const std::string& text);
// The texts as a JSON list of strings.
std::string JsonTextList(const std::vector<std::string>& texts);

}  // namespace uhf
