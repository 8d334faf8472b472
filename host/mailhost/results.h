// What the plug-in's result codes mean, in words, per export.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

std::string Meaning(std::string_view exportName, int32_t code);
// "0 (done)", "12 (the folder is not in the server's folder list)".
std::string CodeText(std::string_view exportName, int32_t code);
