#pragma once
#include "common/Progress.h"

#include <QElapsedTimer>
#include <QPointer>
#include <QProgressDialog>

#include <memory>

class QWidget;

namespace owb {

// Progress as an application-modal dialog with Cancel, shown once the operation has lasted
// showAfterMs. Until then only paint events are processed, so no click can start a second
// command under the running one; while it lasts, input meant for any other widget is dropped
// (also input sent to a widget directly), and so is a window's close box.
class QtProgress : public Progress {
public:
    QtProgress(QWidget *parent, const QString &title, const QString &label, qint64 maximum,
               int showAfterMs = 500);
    ~QtProgress() override;
    QtProgress(const QtProgress &) = delete;
    QtProgress &operator=(const QtProgress &) = delete;

    void setMaximum(qint64 maximum) override;
    void setValue(qint64 value) override;
    void setLabel(const QString &label) override;
    bool wasCancelled() override;

    // Null until the dialog has been shown.
    QProgressDialog *dialog() const { return m_dialog; }

private:
    void refresh();
    int scaled(qint64 v) const;

    QPointer<QWidget> m_parent;
    QString m_title;
    QString m_label;
    qint64 m_maximum;
    qint64 m_value = 0;
    int m_showAfterMs;
    QElapsedTimer m_clock;
    QPointer<QProgressDialog> m_dialog;
    bool m_cancelled = false;
    std::unique_ptr<QObject> m_inputGuard;
};

} // namespace owb
