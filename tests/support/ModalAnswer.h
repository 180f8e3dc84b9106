#pragma once

#include <QApplication>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <functional>

namespace zelvane::testing {

// Answers the next modal dialog once it is really up: the dialog is the
// application's active modal widget and its own event loop runs (the check
// is made from a timer, which only fires inside an event loop). A timer of
// zero fired at "the next turn" may find the dialog not shown yet; this
// waits for it, for at most `patienceMs`, then gives up and reports
// answered() false.
class ModalAnswer {
public:
    explicit ModalAnswer(std::function<void(QWidget*)> answer, int patienceMs = 30'000)
        : m_answer(std::move(answer)), m_patience(patienceMs)
    {
        m_timer.setInterval(5);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            QWidget* modal = QApplication::activeModalWidget();
            if (!modal || !modal->isVisible()) {
                if ((m_waited += m_timer.interval()) > m_patience)
                    m_timer.stop();
                return;
            }
            m_timer.stop();
            m_answered = true;
            m_answer(modal);
        });
        m_timer.start();
    }

    bool answered() const { return m_answered; }

private:
    std::function<void(QWidget*)> m_answer;
    int m_patience;
    int m_waited = 0;
    bool m_answered = false;
    QTimer m_timer;
};

}  // namespace zelvane::testing
