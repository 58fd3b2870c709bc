// Cookie bookkeeping for callers that carry one cookie text across requests,
// and the general text routines it is built from.
//
// A cookie text is a list of items separated by "; " exactly (a ";" without
// the space does not divide); an item is a name, "=" and a value. An item
// whose last eight bytes are "=deleted" is a cookie the server deleted.
// Names compare byte for byte, so letter case counts.
#pragma once

#include "text/Text.h"

namespace lunteva {

// Merges the cookies in fresh into old, replaces old with the result and
// returns it: the items of fresh first, in their order (also when two share a
// name), then the items of old whose names fresh does not set (of old items
// sharing a name only the first), deleted cookies dropped, byte-equal repeats
// reduced to the first. Both texts are trimmed of blanks first, and one ending
// in ";" counts as ending in the separator. No item left gives the empty text.
TextValue mergeCookies(TextValue& old, const TextValue& fresh);

// The bytes in front of the first "=" of item (all of it when there is none),
// trimmed of blanks (space and ideographic space).
TextValue cookieName(const TextValue& item);

// True when some member of items has the cookie name name (byte for byte);
// false for an empty array.
bool hasCookieName(const TextArray& items, const TextValue& name);

// The distinct pieces of text, in the order of their first occurrence, joined
// by separator. The pieces are those of splitText(text, separator) when
// bySeparator is true, and the characters of splitCharacters otherwise. Equal
// means byte for byte; several empty pieces leave one. Empty text, empty result.
TextValue joinUnique(const TextValue& text, const TextValue& separator, bool bySeparator);

// Replaces pieces with the characters of text and returns their number. A byte
// above 0x80 begins a two-byte piece and CR LF makes one piece, except that the
// last byte always stands alone; every other byte (0x80 included) is a piece
// of its own. The empty text gives no pieces.
int splitCharacters(const TextValue& text, TextArray& pieces);

// The position, from 1, of the first member of items equal to text byte for
// byte, or -1.
int indexOfText(const TextArray& items, const TextValue& text);

}  // namespace lunteva
