// Built with the address sanitizer: leaves through ExitQuietly, after leaking
// a block when asked to, so that the test can see the leak check run.
//
//   quarl_exit_quietly_leak leak|clean STATUS
#include "app/ExitQuietly.h"

#include <cstring>
#include <string>

namespace {
// Keeps the compiler from dropping the allocation.
void* volatile sink = nullptr;
} // namespace

int main(int argc, char** argv) {
    if (argc != 3) return 2;
    if (std::strcmp(argv[1], "leak") == 0) {
        sink = new char[100];
        sink = nullptr; // lost: the leak check must find it
    }
    ExitQuietly(std::stoi(argv[2]));
}
