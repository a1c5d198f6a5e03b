#pragma once

#include "DialogService.h"
#include "MemoryReserve.h"

// Passes every dialog and message box on to the dialogs it wraps, with the memory reserve
// given up while it is built and shown, so that running out of memory never keeps the
// user from being told.
class DialogsWithReserve : public DialogService {
public:
    DialogsWithReserve(DialogService& dialogs, MemoryReserve& reserve)
        : dialogs_(dialogs), reserve_(reserve)
    {
    }

    MessageAnswer showMessage(const QString& caption, const QString& text, MessageIcon icon,
                              MessageButtons buttons) override
    {
        MemoryReserve::Released released(reserve_);
        return dialogs_.showMessage(caption, text, icon, buttons);
    }
    bool executeFileDialog(FileDialogKind kind, FileDialogSettings& dialog) override
    {
        MemoryReserve::Released released(reserve_);
        return dialogs_.executeFileDialog(kind, dialog);
    }
    bool executeColorDialog(ColorDialogSettings& dialog) override
    {
        MemoryReserve::Released released(reserve_);
        return dialogs_.executeColorDialog(dialog);
    }

private:
    DialogService& dialogs_;
    MemoryReserve& reserve_;
};
