// Cutting pieces out of a text by searching for marker texts.
//
// All texts are code page 936 TextValues; positions are 1-based bytes and
// every search steps by characters (text/Text.h). No routine changes its text
// arguments; each returns fresh values. An omitted optional argument behaves
// exactly like one given as 0, false or the empty text.
#pragma once

#include "text/Text.h"

namespace lunteva {

// The text between the first occurrence of frontMarker at or after
// startPosition (below 1 counts as 1) and the next occurrence of backMarker
// that starts at or after the first byte behind the front marker; neither
// marker is included. In both markers every "#引号" stands for a double-quote
// character, so callers can write markers that contain one. The empty text
// when either marker is not found or the back marker follows the front one
// directly. ignoreCase is passed to both searches (ASCII letters only).
TextValue textBetween(const TextValue& source, const TextValue& frontMarker, const TextValue& backMarker,
                      int startPosition = 0, bool ignoreCase = false);

// Replaces results by one item for every occurrence of frontMarker, in order,
// and returns the number of members of results.
//
// The search for the front marker starts at startPosition (below 1 counts as
// 1); each found front marker is followed by a search for backMarker from the
// byte right behind it, and the next front marker is searched from that same
// byte, so items may overlap and several may end at the same back marker.
// Collecting stops at the first front marker without a back marker behind it.
// An item is: frontMarker if keepFrontMarker, prefix, the bytes between the
// markers, suffix, backMarker if keepBackMarker. With maxLength 0 every item
// is kept; otherwise only items shorter than maxLength bytes (a negative
// limit keeps none). Markers are used as given ("#引号" is not replaced).
//
// After every match, kept or dropped, pending window events are processed
// (processPendingEvents, three passes), so handlers of other window events
// may run nested inside this call; they must not change source or results.
//
// An empty frontMarker would never advance the search: it yields no items
// (results emptied, 0 returned) and processes no events.
int allTextsBetween(const TextValue& source, const TextValue& frontMarker, const TextValue& backMarker,
                    TextArray& results, bool ignoreCase = false, int maxLength = 0, const TextValue& prefix = {},
                    const TextValue& suffix = {}, bool keepFrontMarker = false, bool keepBackMarker = false,
                    int startPosition = 0);

// Everything in front of a separator found in source, the separator excluded,
// always counted from position 1. startPosition 0 or more searches from the
// left from there (0 counts as 1). A negative startPosition -k searches from
// the right: -1 finds the last occurrence in the whole text, -k with k >= 2
// the last one lying wholly within the first length - k bytes. The empty text
// when the separator is not found or stands at position 1.
TextValue textBefore(const TextValue& source, const TextValue& separator, int startPosition = 0,
                     bool ignoreCase = false);

}  // namespace lunteva
