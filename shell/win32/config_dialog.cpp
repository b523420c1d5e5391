// "CONFIGDIALOG": the two alliances' fleet lists and the resolution.
#include "data/catalogue.h"
#include "resources/dialog_ids.h"
#include "shell/config_logic.h"
#include "shell/display.h"
#include "shell/settings.h"
#include "shell/win32/saver_win32.h"

#include <string>
#include <vector>

namespace {
// The controls of one alliance.
struct AllianceControls {
    int race, fleetSize, add, remove, list;
};
constexpr AllianceControls Alliance1 = {IDC_RACE_1, IDC_FLEET_SIZE_1, IDC_ADD_1, IDC_REMOVE_1,
                                        IDC_LIST_1};
constexpr AllianceControls Alliance2 = {IDC_RACE_2, IDC_FLEET_SIZE_2, IDC_ADD_2, IDC_REMOVE_2,
                                        IDC_LIST_2};

// Built when the dialog opens; the combo boxes list it in this order.
RaceCatalogue DialogCatalogue;

LRESULT sendItem(HWND dialog, int id, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
    return SendDlgItemMessageA(dialog, id, message, wParam, lParam);
}

// Item texts are read at their own length, so no text can overrun a buffer.
std::string listText(HWND dialog, int id, int index) {
    const LRESULT length = sendItem(dialog, id, LB_GETTEXTLEN, index);
    if (length == LB_ERR) return std::string();
    std::string text(static_cast<size_t>(length) + 1, '\0');
    const LRESULT copied =
        sendItem(dialog, id, LB_GETTEXT, index, reinterpret_cast<LPARAM>(&text[0]));
    text.resize(copied == LB_ERR ? 0 : static_cast<size_t>(copied));
    return text;
}

std::vector<std::string> listTexts(HWND dialog, int id) {
    std::vector<std::string> texts;
    const LRESULT count = sendItem(dialog, id, LB_GETCOUNT);
    for (int i = 0; i < count; ++i)
        texts.push_back(listText(dialog, id, i));
    return texts;
}

std::string comboText(HWND dialog, int id, int index) {
    const LRESULT length = sendItem(dialog, id, CB_GETLBTEXTLEN, index);
    if (length == CB_ERR) return std::string();
    std::string text(static_cast<size_t>(length) + 1, '\0');
    const LRESULT copied =
        sendItem(dialog, id, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(&text[0]));
    text.resize(copied == CB_ERR ? 0 : static_cast<size_t>(copied));
    return text;
}

void openDialog(HWND dialog) {
    DialogCatalogue = scanRaceCatalogue(ProgramDirectory);
    SetDlgItemTextA(dialog, IDC_FLEET_SIZE_1, "1");
    SetDlgItemTextA(dialog, IDC_FLEET_SIZE_2, "1");
    for (const RaceCatalogueEntry& entry : DialogCatalogue.entries) {
        const std::string name = fitRaceName(entry.raceName);
        sendItem(dialog, IDC_RACE_1, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
        sendItem(dialog, IDC_RACE_2, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
    }
    sendItem(dialog, IDC_RACE_1, CB_SETCURSEL, 0);
    sendItem(dialog, IDC_RACE_2, CB_SETCURSEL, 0);
    for (const std::string& entry : readAllianceList(1))
        sendItem(dialog, IDC_LIST_1, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entry.c_str()));
    for (const std::string& entry : readAllianceList(2))
        sendItem(dialog, IDC_LIST_2, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entry.c_str()));
    if (const ResolutionRow* row = resolutionRow(ResolutionIndex))
        CheckDlgButton(dialog, row->buttonId, BST_CHECKED);
}

void addFleet(HWND dialog, const AllianceControls& controls) {
    const LRESULT selected = sendItem(dialog, controls.race, CB_GETCURSEL);
    // No race selected (an empty catalogue): nothing to add.
    if (selected == CB_ERR || selected < 0 ||
        static_cast<size_t>(selected) >= DialogCatalogue.entries.size())
        return;
    const std::string raceName = comboText(dialog, controls.race, static_cast<int>(selected));

    const int replaced = entryReplacedByAdd(listTexts(dialog, controls.list), raceName);
    if (replaced >= 0) sendItem(dialog, controls.list, LB_DELETESTRING, replaced);

    char sizeText[FleetSizeTextLimit + 1] = {};
    GetDlgItemTextA(dialog, controls.fleetSize, sizeText, sizeof sizeText);
    const std::string entry =
        formatFleetEntry(raceName, fleetSizeFromText(sizeText),
                         DialogCatalogue.entries[static_cast<size_t>(selected)].description);
    sendItem(dialog, controls.list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entry.c_str()));
}

void removeFleet(HWND dialog, const AllianceControls& controls) {
    const LRESULT selected = sendItem(dialog, controls.list, LB_GETCURSEL);
    if (selected != LB_ERR) sendItem(dialog, controls.list, LB_DELETESTRING, selected);
    // Repeated clicks go on removing from the top.
    sendItem(dialog, controls.list, LB_SETCURSEL, 0);
}

void save(HWND dialog) {
    bool checked[ResolutionCount] = {};
    for (int i = 0; i < ResolutionCount; ++i)
        checked[i] = IsDlgButtonChecked(dialog, Resolutions[i].buttonId) == BST_CHECKED;
    const SaveOutcome outcome =
        saveSettings(resolutionIndexToSave(checked), listTexts(dialog, IDC_LIST_1),
                     listTexts(dialog, IDC_LIST_2));
    if (const char* text = saveFailureText(outcome))
        MessageBoxA(dialog, text, "Kestrion", MB_OK | MB_ICONWARNING);
}
} // namespace

INT_PTR CALLBACK ConfigDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        openDialog(dialog);
        return TRUE;
    case WM_COMMAND:
        // Only the control id counts; notification codes are not looked at.
        switch (LOWORD(wParam)) {
        case IDC_ADD_1:
            addFleet(dialog, Alliance1);
            break;
        case IDC_ADD_2:
            addFleet(dialog, Alliance2);
            break;
        case IDC_REMOVE_1:
            removeFleet(dialog, Alliance1);
            break;
        case IDC_REMOVE_2:
            removeFleet(dialog, Alliance2);
            break;
        case IDOK:
            save(dialog);
            EndDialog(dialog, 0);
            break;
        case IDCANCEL:
            EndDialog(dialog, 0);
            break;
        default:
            break;
        }
        return TRUE;
    case WM_CLOSE:
        EndDialog(dialog, 0);
        return TRUE;
    default:
        return FALSE;
    }
}
