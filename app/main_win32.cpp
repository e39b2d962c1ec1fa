// Entry point of ZELManager.exe.
#include "app/shell.h"

#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    return app::Run();
}
