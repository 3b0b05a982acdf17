#pragma once
#include <QFrame>

class QLabel;
class QTimer;

namespace owb {

// Shown at start-up; goes away by itself after two seconds, or at once on a key press.
// Deletes itself when closed.
class frmSplash : public QFrame {
    Q_OBJECT
public:
    explicit frmSplash(QWidget *parent = nullptr);

protected:
    void showEvent(QShowEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    QLabel *imgLogo;
    QLabel *lblVersion;
    QTimer *Timer1;
};

} // namespace owb
