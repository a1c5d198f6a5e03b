#pragma once

#include "DialogService.h"

#include <QStringList>
#include <deque>
#include <functional>
#include <vector>

// A DialogService for tests: records every call and gives the answers queued beforehand.
// A message box without a queued answer is answered with its first button (OK or Yes);
// a file or colour dialog without one is cancelled.
class ScriptedDialogs : public DialogService {
public:
    struct Message {
        QString caption;
        QString text;
        MessageIcon icon;
        MessageButtons buttons;
    };
    struct FileCall {
        FileDialogKind kind;
        FileDialogSettings offered;   // the settings as the dialog opened
    };

    std::vector<Message> messages;
    std::vector<FileCall> fileCalls;
    std::vector<ColorDialogSettings> colorCalls;

    std::deque<MessageAnswer> answers;
    std::deque<std::optional<QString>> files;   // nullopt: cancel
    std::deque<std::optional<QColor>> colors;   // nullopt: cancel
    // Runs for every message once it is recorded, before it is answered: where a test shows
    // the box for real, to close it as a user would.
    std::function<void(const Message&)> onMessage;

    MessageAnswer showMessage(const QString& caption, const QString& text, MessageIcon icon,
                              MessageButtons buttons) override
    {
        messages.push_back({caption, text, icon, buttons});
        if (onMessage)
            onMessage(Message(messages.back()));   // a copy: the hook may show more
        if (!answers.empty()) {
            MessageAnswer a = answers.front();
            answers.pop_front();
            return a;
        }
        return buttons == MessageButtons::YesNo ? MessageAnswer::Yes : MessageAnswer::Ok;
    }

    bool executeFileDialog(FileDialogKind kind, FileDialogSettings& dialog) override
    {
        fileCalls.push_back({kind, dialog});
        if (files.empty())
            return false;
        std::optional<QString> f = files.front();
        files.pop_front();
        if (!f)
            return false;
        dialog.fileName = *f;
        return true;
    }

    bool executeColorDialog(ColorDialogSettings& dialog) override
    {
        colorCalls.push_back(dialog);
        if (colors.empty())
            return false;
        std::optional<QColor> c = colors.front();
        colors.pop_front();
        if (!c)
            return false;
        dialog.color = *c;
        return true;
    }

    void clearRecords()
    {
        messages.clear();
        fileCalls.clear();
        colorCalls.clear();
    }
};
