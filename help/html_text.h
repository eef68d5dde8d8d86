#pragma once
// Plain text placed inside the help system's small HTML pages.

#include <string>

// The text with the characters that would start or end markup escaped.
std::string HtmlText(const std::string& text);
