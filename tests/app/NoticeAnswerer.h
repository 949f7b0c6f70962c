// A user in front of the installer's message dialogs: a thread that watches for the skinned
// dialog and answers it with a click on one of its buttons, recording what each one showed.
// The dialog runs a modal loop on the UI thread, so the watcher looks at it from its own
// thread through the UI thread's queue; whatever pumps the UI thread (a modal run, PumpUntil)
// lets it act.
#pragma once

#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/messages.h"
#include "platform/window.h"
#include "ui/MsgDialog.h"

namespace orvik_test {

class NoticeAnswerer {
public:
    enum class Answer { Confirm, Cancel };

    struct Shown {
        std::int32_t mode = MsgNotice;
        std::string message;
        platform::Rect rect;           // the dialog, screen coordinates
        platform::Rect confirmButton;  // in the dialog
    };

    // `upgradeAnswer` is the click on the upgrade question; notices are always confirmed.
    explicit NoticeAnswerer(Answer upgradeAnswer = Answer::Confirm)
        : m_upgradeAnswer(upgradeAnswer), m_thread([this] { Watch(); }) {}
    ~NoticeAnswerer() { Stop(); }
    NoticeAnswerer(const NoticeAnswerer&) = delete;
    NoticeAnswerer& operator=(const NoticeAnswerer&) = delete;

    // UI thread. Ends the watcher, running the UI thread until it has gone (it may be
    // waiting for the UI thread right now).
    void Stop() {
        m_stop = true;
        while (!m_done) {
            platform::PumpEvents();
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        if (m_thread.joinable()) {
            m_thread.join();
        }
    }

    std::vector<Shown> Seen() const {
        std::lock_guard lock(m_mutex);
        return m_seen;
    }
    std::vector<std::string> Messages() const {
        std::vector<std::string> texts;
        for (const Shown& shown : Seen()) {
            texts.push_back(shown.mode == MsgConfirmUpgrade ? "(upgrade question)" : shown.message);
        }
        return texts;
    }

private:
    void Watch() {
        while (!m_stop) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            platform::RunOnUiThread([this] { AnswerCurrent(); });
        }
        m_done = true;
    }

    // UI thread.
    void AnswerCurrent() {
        CMsgDialog* dialog = CMsgDialog::Current();
        platform::Window* window = dialog != nullptr ? dialog->LiveWindow() : nullptr;
        if (window == nullptr || !window->Exists() || dialog->m_confirmButton == nullptr) {
            return;
        }
        const CObj& button =
            dialog->m_mode == MsgConfirmUpgrade && m_upgradeAnswer == Answer::Cancel
                ? static_cast<const CObj&>(*dialog->m_cancelButton)
                : static_cast<const CObj&>(*dialog->m_confirmButton);
        {
            std::lock_guard lock(m_mutex);
            const CObj& confirm = *dialog->m_confirmButton;
            m_seen.push_back({dialog->m_mode,
                              dialog->m_message,
                              window->GetWindowRect(),
                              {confirm.m_x, confirm.m_y, confirm.m_width, confirm.m_height}});
        }
        const std::intptr_t point =
            platform::MakePoint(button.m_x + button.m_width / 2, button.m_y + button.m_height / 2);
        window->Send(platform::WM_MOUSEMOVE, 0, point);
        window->Send(platform::WM_LBUTTONDOWN, 0, point);
        window->Send(platform::WM_LBUTTONUP, 0, point);
    }

    Answer m_upgradeAnswer;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_done{false};
    mutable std::mutex m_mutex;
    std::vector<Shown> m_seen;
    std::thread m_thread;
};

}  // namespace orvik_test
