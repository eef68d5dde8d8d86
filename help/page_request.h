#pragma once
// The help server's reading of an HTTP request: which page file a request
// asks for, or which error status it gets. Kept apart from the socket code
// so that every refusal can be tested without a network.
//
// The pages folder is flat: a request names one file directly below it.
// Anything that could reach outside the folder (".." or any name starting
// with ".", a "/" or "\" inside the decoded name, a NUL byte) is refused
// with 403, whether it was written plainly or percent-encoded.

#include <cstdint>
#include <string>

struct TPageRequest {
    int32_t Status = 400;  // 200 when FileName is to be served, else the error status
    std::string FileName;  // the file below the pages folder, for status 200
    bool HeadOnly = false; // a HEAD request: headers without the body
};

// The page served for "/".
inline constexpr const char* kIndexPageName = "index.htm";

// Interprets the head of a request (request line, headers, up to the blank
// line). Only GET and HEAD of HTTP/1.0 and HTTP/1.1 are served; other
// methods get 405, other versions 505, malformed request lines and targets
// 400. The query and fragment of the target are ignored.
TPageRequest ParsePageRequest(const std::string& head);

// The reason phrase of a status this server sends ("OK", "Not Found", ...).
const char* StatusReason(int32_t status);

// The content type for a file name, by its extension (HTML pages as UTF-8).
std::string ContentTypeOf(const std::string& fileName);

// A short HTML page for an error status; `what` (the requested target, shown
// as text) may be empty.
std::string StatusPage(int32_t status, const std::string& what);
