#pragma once

#include <QTextEdit>

namespace clipwren {

// A certificate fingerprint drawn in two lines of sixteen pairs, so that the panel keeps its
// width. The lines are only drawn that way: what the user selects and copies is the one line
// the peer prints.
class FingerprintView final : public QTextEdit {
public:
    static constexpr int columns = 16 * 3;  // "AB:" sixteen times

    explicit FingerprintView(QWidget* parent = nullptr);

    // Shows fingerprint, sized to hold all of it without scrolling.
    void showFingerprint(const QString& fingerprint);
};

}  // namespace clipwren
