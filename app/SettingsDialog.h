#pragma once
#include "app/SettingsChecks.h"

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

// The modeless "Quillbrae Settings" dialog: one at a time, filled from a
// form, and handing checked values to the widget on OK and Apply. A value
// that cannot be used keeps the dialog open with the field selected and the
// reason beside it. Its messages go through IsDialogMessage in the
// program's message loop (Window() gives the dialog to route them to).
class SettingsDialog {
public:
    // Takes the checked values; runs on the window thread.
    using Take = std::function<void(const SettingsValues&)>;
    // The codes of the pairs the source offers now, in the list's order.
    using Offered = std::function<std::vector<std::string>()>;

    SettingsDialog(Take taking, Offered offering);
    ~SettingsDialog();
    SettingsDialog(const SettingsDialog&) = delete;
    SettingsDialog& operator=(const SettingsDialog&) = delete;

    // Opens the dialog over `owner`, filled from `form`; an open one is
    // brought to the front as it is. False when the dialog cannot be made.
    bool Open(HWND owner, const SettingsForm& form);
    void Close();
    // The open dialog, or null.
    HWND Window() const { return dialog; }

private:
    static INT_PTR CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR Handle(UINT message, WPARAM wParam, LPARAM lParam);
    void OnCommand(int id);
    void Fill(const SettingsForm& form);
    SettingsForm Read() const;
    // Checks the form; hands its values over and returns true when it passes.
    bool TakeForm();
    void ShowProblem(const SettingsCheck& check);
    void ClearProblems();
    void ChoosePairs();

    Take take;
    Offered offered;
    HWND dialog = nullptr;  // owned: destroyed by Close()
    SettingsForm opening;   // what Open filled the dialog with
};
