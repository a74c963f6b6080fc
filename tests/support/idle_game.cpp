// A stand-in for a running game: it does nothing until it is ended. A test
// that fails to end it loses it a minute later.
#ifdef _WIN32
#include <windows.h>

int main()
{
    Sleep(60 * 1000);
    return 0;
}
#else
#include <unistd.h>

int main()
{
    sleep(60);
    return 0;
}
#endif
