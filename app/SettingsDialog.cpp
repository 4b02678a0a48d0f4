#include "app/SettingsDialog.h"

#include "base/SettingsDialogIds.h"

#include <commctrl.h>

#include <utility>

namespace {

// Room in each field: beyond what the settings file keeps, typing stops.
constexpr int PagesRoom = 4096;
constexpr int IntervalRoom = 12;
constexpr int PairsRoom = 2048;
constexpr int AlertsRoom = static_cast<int>(settings_limits::LongestAlertsText);
constexpr int OpacityRoom = 3;

std::string ItemText(HWND dialog, int id)
{
    HWND item = GetDlgItem(dialog, id);
    int length = GetWindowTextLengthA(item);
    if (length <= 0)
        return std::string();
    std::string text(static_cast<size_t>(length) + 1, '\0');
    int got = GetWindowTextA(item, &text[0], length + 1);
    text.resize(got > 0 ? static_cast<size_t>(got) : 0);
    return text;
}

bool Ticked(HWND dialog, int id)
{
    return IsDlgButtonChecked(dialog, id) == BST_CHECKED;
}

int EditOf(SettingsField field)
{
    switch (field) {
    case SettingsField::RatePages:
        return QB_PAGES_EDIT;
    case SettingsField::Interval:
        return QB_INTERVAL_EDIT;
    case SettingsField::Pairs:
        return QB_PAIRS_EDIT;
    case SettingsField::Alerts:
        return QB_ALERTS_EDIT;
    case SettingsField::Opacity:
        return QB_OPACITY_EDIT;
    case SettingsField::None:
        break;
    }
    return 0;
}

int ProblemOf(SettingsField field)
{
    switch (field) {
    case SettingsField::RatePages:
        return QB_PAGES_PROBLEM;
    case SettingsField::Interval:
        return QB_INTERVAL_PROBLEM;
    case SettingsField::Pairs:
        return QB_PAIRS_PROBLEM;
    case SettingsField::Alerts:
        return QB_ALERTS_PROBLEM;
    case SettingsField::Opacity:
        return QB_OPACITY_PROBLEM;
    case SettingsField::None:
        break;
    }
    return 0;
}

bool IsProblemText(int id)
{
    return id == QB_PAGES_PROBLEM || id == QB_INTERVAL_PROBLEM || id == QB_PAIRS_PROBLEM ||
           id == QB_ALERTS_PROBLEM || id == QB_OPACITY_PROBLEM;
}

// The pair chooser, modal over the settings dialog: a list with a check box
// a pair, and buttons that move the selected pair.
class PairChooser {
public:
    explicit PairChooser(std::vector<PairChoice> given) : choices(std::move(given)) {}

    // True when the person pressed OK; Choices() then holds their choice.
    bool Run(HWND owner)
    {
        return DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(QB_CHOOSE_PAIRS_DIALOG), owner,
                               Procedure, reinterpret_cast<LPARAM>(this)) == IDOK;
    }
    const std::vector<PairChoice>& Choices() const { return choices; }

private:
    static INT_PTR CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
    {
        if (message == WM_INITDIALOG)
            SetWindowLongPtrA(window, DWLP_USER, lParam);
        auto* self = reinterpret_cast<PairChooser*>(GetWindowLongPtrA(window, DWLP_USER));
        if (self == nullptr)
            return FALSE;
        if (message == WM_INITDIALOG) {
            self->dialog = window;
            self->list = GetDlgItem(window, QB_CHOOSE_LIST);
            self->Fill(0);
            return TRUE;
        }
        if (message != WM_COMMAND)
            return FALSE;
        switch (LOWORD(wParam)) {
        case IDOK:
            self->Collect();
            EndDialog(window, IDOK);
            return TRUE;
        case IDCANCEL:
            EndDialog(window, IDCANCEL);
            return TRUE;
        case QB_CHOOSE_UP:
            self->Move(-1);
            return TRUE;
        case QB_CHOOSE_DOWN:
            self->Move(+1);
            return TRUE;
        default:
            return FALSE;
        }
    }

    void Fill(int selected)
    {
        ListView_SetExtendedListViewStyle(list, LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT);
        if (Header_GetItemCount(ListView_GetHeader(list)) == 0) {
            RECT area{};
            GetClientRect(list, &area);
            LVCOLUMNA column{};
            column.mask = LVCF_WIDTH;
            column.cx = area.right - GetSystemMetrics(SM_CXVSCROLL);
            SendMessageA(list, LVM_INSERTCOLUMNA, 0, reinterpret_cast<LPARAM>(&column));
        }
        ListView_DeleteAllItems(list);
        for (size_t i = 0; i < choices.size(); ++i) {
            LVITEMA item{};
            item.mask = LVIF_TEXT;
            item.iItem = static_cast<int>(i);
            item.pszText = const_cast<char*>(choices[i].code.c_str());
            SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item));
            ListView_SetCheckState(list, static_cast<int>(i), choices[i].chosen);
        }
        if (!choices.empty()) {
            ListView_SetItemState(list, selected, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
            ListView_EnsureVisible(list, selected, FALSE);
        }
    }

    // The ticks as the list shows them now.
    void Collect()
    {
        for (size_t i = 0; i < choices.size(); ++i)
            choices[i].chosen = ListView_GetCheckState(list, static_cast<int>(i)) != 0;
    }

    void Move(int step)
    {
        int at = ListView_GetNextItem(list, -1, LVNI_SELECTED);
        int to = at + step;
        if (at < 0 || to < 0 || to >= static_cast<int>(choices.size()))
            return;
        Collect();
        std::swap(choices[static_cast<size_t>(at)], choices[static_cast<size_t>(to)]);
        Fill(to);
        SetFocus(list);
    }

    std::vector<PairChoice> choices;
    HWND dialog = nullptr;
    HWND list = nullptr;
};

}  // namespace

SettingsDialog::SettingsDialog(Take taking, Offered offering)
    : take(std::move(taking)), offered(std::move(offering))
{
}

SettingsDialog::~SettingsDialog()
{
    Close();
}

bool SettingsDialog::Open(HWND owner, const SettingsForm& form)
{
    if (dialog != nullptr) {
        ShowWindow(dialog, SW_SHOWNORMAL);
        SetForegroundWindow(dialog);
        return true;
    }
    opening = form;
    HWND made = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(QB_SETTINGS_DIALOG), owner,
                                   Procedure, reinterpret_cast<LPARAM>(this));
    if (made == nullptr)
        return false;
    ShowWindow(made, SW_SHOW);
    SetForegroundWindow(made);
    return true;
}

void SettingsDialog::Close()
{
    if (dialog != nullptr)
        DestroyWindow(dialog);  // WM_NCDESTROY forgets it
    dialog = nullptr;
}

INT_PTR CALLBACK SettingsDialog::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrA(window, DWLP_USER, lParam);
        reinterpret_cast<SettingsDialog*>(lParam)->dialog = window;
    }
    auto* self = reinterpret_cast<SettingsDialog*>(GetWindowLongPtrA(window, DWLP_USER));
    if (self == nullptr)
        return FALSE;
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrA(window, DWLP_USER, 0);
        self->dialog = nullptr;
        return FALSE;
    }
    return self->Handle(message, wParam, lParam);
}

INT_PTR SettingsDialog::Handle(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        SendDlgItemMessageA(dialog, QB_PAGES_EDIT, EM_LIMITTEXT, PagesRoom, 0);
        SendDlgItemMessageA(dialog, QB_INTERVAL_EDIT, EM_LIMITTEXT, IntervalRoom, 0);
        SendDlgItemMessageA(dialog, QB_PAIRS_EDIT, EM_LIMITTEXT, PairsRoom, 0);
        SendDlgItemMessageA(dialog, QB_ALERTS_EDIT, EM_LIMITTEXT, AlertsRoom, 0);
        SendDlgItemMessageA(dialog, QB_OPACITY_EDIT, EM_LIMITTEXT, OpacityRoom, 0);
        SendDlgItemMessageA(dialog, QB_OPACITY_SPIN, UDM_SETRANGE32, settings_limits::LeastOpacity,
                            settings_limits::MostOpacity);
        Fill(opening);
        return TRUE;  // the first field takes the focus
    case WM_COMMAND:
        if (HIWORD(wParam) == BN_CLICKED) {
            OnCommand(LOWORD(wParam));
            return TRUE;
        }
        return FALSE;
    case WM_CTLCOLORSTATIC:
        // The explanations stand out from the labels.
        if (IsProblemText(GetDlgCtrlID(reinterpret_cast<HWND>(lParam)))) {
            HDC context = reinterpret_cast<HDC>(wParam);
            SetTextColor(context, RGB(192, 0, 0));
            SetBkColor(context, GetSysColor(COLOR_3DFACE));
            return reinterpret_cast<INT_PTR>(GetSysColorBrush(COLOR_3DFACE));
        }
        return FALSE;
    case WM_CLOSE:
        Close();
        return TRUE;
    default:
        return FALSE;
    }
}

void SettingsDialog::OnCommand(int id)
{
    switch (id) {
    case IDOK:
        if (TakeForm())
            Close();
        break;
    case QB_APPLY:
        TakeForm();
        break;
    case IDCANCEL:
        Close();
        break;
    case QB_PAGES_DEFAULTS:
        SetDlgItemTextA(dialog, QB_PAGES_EDIT, PublicRatePagesText().c_str());
        break;
    case QB_PAIRS_CHOOSE: {
        PairChooser chooser(
            PairChoices(ItemText(dialog, QB_PAIRS_EDIT), offered ? offered() : std::vector<std::string>()));
        if (chooser.Run(dialog))
            SetDlgItemTextA(dialog, QB_PAIRS_EDIT, ChosenPairsText(chooser.Choices()).c_str());
        break;
    }
    default:
        break;
    }
}

void SettingsDialog::Fill(const SettingsForm& form)
{
    SetDlgItemTextA(dialog, QB_PAGES_EDIT, form.ratePages.c_str());
    SetDlgItemTextA(dialog, QB_INTERVAL_EDIT, form.interval.c_str());
    SetDlgItemTextA(dialog, QB_PAIRS_EDIT, form.pairs.c_str());
    SetDlgItemTextA(dialog, QB_ALERTS_EDIT, form.alerts.c_str());
    CheckDlgButton(dialog, QB_START_WITH_WINDOWS, form.startWithWindows ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(dialog, QB_ALWAYS_ON_TOP, form.alwaysOnTop ? BST_CHECKED : BST_UNCHECKED);
    SetDlgItemTextA(dialog, QB_OPACITY_EDIT, form.opacity.c_str());
}

SettingsForm SettingsDialog::Read() const
{
    SettingsForm form;
    form.ratePages = ItemText(dialog, QB_PAGES_EDIT);
    form.interval = ItemText(dialog, QB_INTERVAL_EDIT);
    form.pairs = ItemText(dialog, QB_PAIRS_EDIT);
    form.alerts = ItemText(dialog, QB_ALERTS_EDIT);
    form.startWithWindows = Ticked(dialog, QB_START_WITH_WINDOWS);
    form.alwaysOnTop = Ticked(dialog, QB_ALWAYS_ON_TOP);
    form.opacity = ItemText(dialog, QB_OPACITY_EDIT);
    return form;
}

bool SettingsDialog::TakeForm()
{
    ClearProblems();
    SettingsCheck check = CheckSettings(Read());
    if (!check.Ok()) {
        ShowProblem(check);
        return false;
    }
    if (take)
        take(check.values);
    return true;
}

void SettingsDialog::ShowProblem(const SettingsCheck& check)
{
    SetDlgItemTextA(dialog, ProblemOf(check.field), check.problem.c_str());
    HWND edit = GetDlgItem(dialog, EditOf(check.field));
    // Through the dialog, so that the default button and the focus agree.
    SendMessageA(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(edit), TRUE);
    SendMessageA(edit, EM_SETSEL, check.problemBegin, check.problemEnd);
    SendMessageA(edit, EM_SCROLLCARET, 0, 0);
    MessageBeep(MB_ICONWARNING);
}

void SettingsDialog::ClearProblems()
{
    for (SettingsField field : {SettingsField::RatePages, SettingsField::Interval, SettingsField::Pairs,
                                SettingsField::Alerts, SettingsField::Opacity})
        SetDlgItemTextA(dialog, ProblemOf(field), "");
}
