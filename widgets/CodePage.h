#pragma once
// Text conversions between UTF-8 and the code page window layouts store
// their text in (950, Big5).

#include <string>
#include <string_view>

// Throws Exception when the text is not valid in AFrom or has no form in ATo.
std::string ConvertText(std::string_view AText, const char* AFrom, const char* ATo);
inline std::string Cp950ToUtf8(std::string_view AText) { return ConvertText(AText, "CP950", "UTF-8"); }
inline std::string Utf8ToCp950(std::string_view AText) { return ConvertText(AText, "UTF-8", "CP950"); }
