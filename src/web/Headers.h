// Preparation of the request header block that webRequest sends.
//
// A header block is a text of header lines separated by CR LF; a header line
// is a name, a colon and a value (the name is everything in front of the first
// colon). None of these routines keeps state or changes its arguments.
#pragma once

#include "text/Text.h"

namespace lunteva {

// Completes block with the default lines it lacks, tested and appended in this
// order: "Accept: */*", "Referer: " + url, "Accept-Language: zh-cn",
// "User-Agent: Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)" and, for
// methodIndex 1 (POST) only, "Content-Type: application/x-www-form-urlencoded".
// A line counts as present when its name and colon occur anywhere in the block
// as it stands after the earlier rows, ASCII letter case folded ('X-Accept: 1'
// counts as "Accept:"). Each appended line is preceded by CR LF, so an empty
// block comes out beginning with CR LF. url goes in unchanged.
TextValue addDefaultHeaders(const TextValue& block, const TextValue& url, int methodIndex);

// The block with the first byte of every header name, and the first byte after
// every "-" in it, upper-cased when it is an ASCII lower-case letter; every
// other byte of a line stays. Pieces without a colon (empty ones included) are
// dropped; the result neither begins nor ends with CR LF, and an empty block
// gives the empty text.
TextValue normalizeHeaderNames(const TextValue& block);

// text with its first byte upper-cased when it is an ASCII lower-case letter.
// The length never changes; a two-byte first character stays as it is.
TextValue capitalizeFirst(const TextValue& text);

// The bytes in front of the first colon of line, trimmed of blanks (space and
// ideographic space; a tab stays); the empty text when line has no colon.
TextValue headerName(const TextValue& line);

// The bytes after the first colon of line, trimmed of blanks; the empty text
// when line has no colon.
TextValue headerValue(const TextValue& line);

}  // namespace lunteva
