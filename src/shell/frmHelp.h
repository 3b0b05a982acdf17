#pragma once
#include <QWidget>

class QUrl;
class QVBoxLayout;
class QWebEngineView;

namespace owb {

// The user guide beside the program, in a browser made when the window is first shown (a
// browser costs its helper processes' memory). Deletes itself when closed.
class frmHelp : public QWidget {
    Q_OBJECT
public:
    explicit frmHelp(QWidget *parent = nullptr);

    // documentation/index.htm in the application folder.
    static QUrl indexUrl();
    // nullptr until the window has been shown.
    QWebEngineView *browser() const { return wbHelp; }

protected:
    void showEvent(QShowEvent *event) override;

private:
    QVBoxLayout *m_layout;
    QWebEngineView *wbHelp = nullptr;
};

} // namespace owb
