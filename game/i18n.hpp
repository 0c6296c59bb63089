// The player's language. Every text a player reads or hears goes through the
// catalogue of the "tavelorn" domain, looked up by its French text: where no
// catalogue applies (the C and POSIX locales, French, a language without one)
// the French text is what shows. What programs read stays as it is in every
// locale: the lines on standard output, the move texts on the wire, the
// application identifiers.
#pragma once

#include <libintl.h>

constexpr const char* TEXT_DOMAIN = "tavelorn";

#define _(text) gettext(text)
