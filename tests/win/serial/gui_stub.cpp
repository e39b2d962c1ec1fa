// The few list calls the link makes, kept in memory, so these tests need no
// real window.
#include "tests/win/serial/gui_stub.h"

#include <mutex>

namespace {
std::mutex listLock;
std::vector<std::string> portList;
} // namespace

namespace gui {

void listClear(int window, int number) {
    std::lock_guard<std::mutex> lock(listLock);
    if (window == MainWindow && number == 3) portList.clear();
}

void listAdd(int window, int number, const std::string& item) {
    std::lock_guard<std::mutex> lock(listLock);
    if (window == MainWindow && number == 3) portList.push_back(item);
}

void reportAddRow(int, int, const std::vector<std::string>&) {}

} // namespace gui

std::vector<std::string> stubPortList() {
    std::lock_guard<std::mutex> lock(listLock);
    return portList;
}
