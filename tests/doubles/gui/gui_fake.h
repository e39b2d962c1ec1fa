// In-memory stand-in for platform/gui.h in native tests. It keeps every
// window's and control's state, answers the same queries as the real toolkit,
// replays scripted events through waitEvent and records message boxes and file
// dialogs. Thread-safe, so listener threads can use it as they use the real one.
#pragma once

#include "platform/gui.h"

#include <functional>
#include <string>
#include <vector>

namespace guifake {

struct MessageBoxCall {
    int window;
    std::string title;
    std::string text;
    gui::Icon icon;
};

struct FileDialogCall {
    bool save;
    int owner;
    std::string title;
    std::string filter;
    std::string startDir;
};

struct ControlInfo {
    bool exists = false;
    gui::Kind kind = gui::Kind::Text;
    int x = 0, y = 0, w = 0, h = 0;
    int parent = -1;
};

// Forgets every window, control, event and record.
void reset();

// Queues an event for waitEvent.
void pushEvent(gui::Event event);
// Called by waitEvent when the queue is empty, before it reports a time-out;
// lets a test react to the program's progress (e.g. answer a request).
void setIdleHook(std::function<void(int timeoutMs)> hook);

std::vector<MessageBoxCall> messageBoxes();
void clearMessageBoxes();

// The answer of the next file dialogs ("" = cancelled).
void setFileDialogAnswer(const std::string& path);
std::vector<FileDialogCall> fileDialogs();

ControlInfo control(int window, int number);
bool windowEnabled(int window);
// How the window was opened (number -1 when it is not open).
gui::WindowSpec windowSpec(int window);
int activeWindow();
int shownImage(int window, int number);
std::vector<gui::MenuItem> menu(int window);

} // namespace guifake
