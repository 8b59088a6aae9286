// An uncaught exception ends the program at once; a GUI program has nowhere to print the
// default handler's message anyway.
#include <cstdlib>

namespace __gnu_cxx {
void __verbose_terminate_handler() { std::abort(); }
}  // namespace __gnu_cxx
