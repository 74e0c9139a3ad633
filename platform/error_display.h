#pragma once
// The application's default error display and plain message boxes. Qt does
// not let exceptions cross its event loop, so every event handler runs inside
// guarded(), which shows what escapes it and lets the program go on.
#include <QString>
#include <exception>
#include <functional>

class QWidget;

namespace platform {

enum class MessageKind { Error, Plain };
using MessageSink = std::function<void(QWidget *parent, MessageKind kind, const QString &title, const QString &text)>;

// Error: a modal box titled "エラー" with an error icon and OK only.
void showError(QWidget *parent, const QString &text);
// Plain: a modal box with `title`, no icon and OK only.
void showMessage(QWidget *parent, const QString &title, const QString &text);

// Lets tests see the boxes instead of blocking on them; an empty sink
// restores the real boxes. Returns the previous sink.
MessageSink setMessageSink(MessageSink sink);

void showException(QWidget *parent, std::exception_ptr error);

template <class F>
void guarded(QWidget *parent, F &&handler)
{
    try {
        handler();
    } catch (...) {
        showException(parent, std::current_exception());
    }
}

} // namespace platform
