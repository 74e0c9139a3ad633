#include "error_display.h"

#include "image_decoding.h"

#include <QMessageBox>

namespace platform {
namespace {

MessageSink &sink()
{
    static MessageSink s;
    return s;
}

void show(QWidget *parent, MessageKind kind, const QString &title, const QString &text)
{
    if (sink()) {
        sink()(parent, kind, title, text);
        return;
    }
    QMessageBox box(kind == MessageKind::Error ? QMessageBox::Critical : QMessageBox::NoIcon, title, text,
                    QMessageBox::Ok, parent);
    box.exec();
}

} // namespace

void showError(QWidget *parent, const QString &text) { show(parent, MessageKind::Error, QStringLiteral("エラー"), text); }

void showMessage(QWidget *parent, const QString &title, const QString &text)
{
    show(parent, MessageKind::Plain, title, text);
}

MessageSink setMessageSink(MessageSink s) { return std::exchange(sink(), std::move(s)); }

void showException(QWidget *parent, std::exception_ptr error)
{
    try {
        std::rethrow_exception(error);
    } catch (const Error &e) {
        showError(parent, e.message());
    } catch (const std::exception &e) {
        showError(parent, QString::fromLocal8Bit(e.what()));
    } catch (...) {
        showError(parent, QStringLiteral("不明なエラー"));
    }
}

} // namespace platform
