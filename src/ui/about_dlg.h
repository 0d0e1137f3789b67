// The About box: the program's name, version and rights notice.
#pragma once

#include <QDialog>

namespace tarnwick {

class CAboutDlg : public QDialog {
    Q_OBJECT
public:
    explicit CAboutDlg(QWidget* parent = nullptr);
};

// The program's icon, in every size it is shipped in.
QIcon AppIcon();

}  // namespace tarnwick
