#include "FingerprintView.h"

#include <QFontDatabase>
#include <QtMath>

namespace clipwren {

FingerprintView::FingerprintView(QWidget* parent) : QTextEdit(parent) {
    setReadOnly(true);
    setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setLineWrapMode(QTextEdit::FixedColumnWidth);
    setLineWrapColumnOrWidth(columns);
    setWordWrapMode(QTextOption::WrapAnywhere);
    viewport()->setAutoFillBackground(false);
    document()->setDocumentMargin(0);
}

void FingerprintView::showFingerprint(const QString& fingerprint) {
    if (toPlainText() == fingerprint) return;
    setPlainText(fingerprint);
    setFixedSize(qCeil(document()->idealWidth()) + 1, qCeil(document()->size().height()));
}

}  // namespace clipwren
