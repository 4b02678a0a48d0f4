#pragma once
#include "window/UniqueHandle.h"

#include <windows.h>

#include <string>

// One widget per settings file. Two widgets on one file would each save
// their own view of it at exit, the later one undoing the other's changes;
// so the first start claims the file by a named mutex (base/InstanceName.h)
// and publishes its window, and a later start on the same file brings that
// window forward and ends. A copy with a settings file of its own claims
// another name and runs alongside.
class OneWidget {
public:
    explicit OneWidget(const std::string& settingsPath);

    // This start holds the claim (also when the names could not be made:
    // running then is better than refusing to).
    bool First() const { return first; }

    // For the first start, once its window exists: lets later starts find it.
    void Publish(HWND window);

    // For a later start: waits up to `waitMilliseconds` for the first to
    // publish its window, then shows it, brings it back onto a monitor when
    // it is on none, and to the front. Never waits on the first widget's
    // thread, so a busy widget cannot hold this start. True when the window
    // was found.
    bool ShowFirst(DWORD waitMilliseconds) const;

private:
    UniqueHandle claim;    // the named mutex; its existence is the claim
    UniqueHandle ready;    // set once the window is published
    UniqueHandle mapping;  // where the window is published
    bool first = true;
};
