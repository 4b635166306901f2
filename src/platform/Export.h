#pragma once

// The component library is built with hidden visibility: only what lies in
// namespace Larkhill, and the C entry points, is seen from outside it. Every
// header of the component opens the namespace with this mark, so that its
// declarations stay visible to the hosts and the tests that link the library
// while nothing else of it (Qt's template instances among them) can meet a
// name of another library loaded into the same process.
#define LARKHILL_API __attribute__((visibility("default")))
