#include "ui/about_dlg.h"

#include <QIcon>
#include <QLabel>
#include <QPushButton>

#include "ui/dialog_units.h"
#include "ui/res/resources.h"

namespace tarnwick {

QIcon AppIcon()
{
    QIcon icon;
    for (const int size : {16, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/tarnwick/icons/tarnwick-%1.png").arg(size), QSize(size, size));
    return icon;
}

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(tr("About Tarnwick"));
    setFont(DialogFont());
    const CDialogUnits du(font());
    setFixedSize(du.X(kAboutDialogWidth), du.Y(kAboutDialogHeight));
    for (const DialogControl_T& c : kAboutDialogControls) {
        const QRect r = du.Rect(c);
        if (c.id == kIdAboutIcon) {
            auto* icon = new QLabel(this);
            icon->setPixmap(AppIcon().pixmap(r.size().boundedTo(QSize(48, 48))));
            icon->setGeometry(r.x(), r.y(), std::max(r.width(), 48), std::max(r.height(), 48));
        } else if (c.kind == ControlKind_T::kButton) {
            auto* ok = new QPushButton(tr(c.text), this);
            ok->setGeometry(r);
            ok->setDefault(true);
            connect(ok, &QPushButton::clicked, this, &QDialog::accept);
        } else {
            QString text = tr(c.text);
            if (c.id == kIdAboutName)
                text = text.arg(QStringLiteral(TARNWICK_VERSION));
            auto* label = new QLabel(text, this);
            label->setObjectName(QStringLiteral("about%1").arg(c.id));
            label->setGeometry(r);
        }
    }
}

}  // namespace tarnwick
