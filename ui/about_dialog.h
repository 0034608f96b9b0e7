#pragma once

#include <QDialog>

namespace vellumark {

// The about box: product and version, one line about the program, the web and mail links.
class TFMAbout final : public QDialog {
    Q_OBJECT

public:
    explicit TFMAbout(QWidget* parent = nullptr);
};

}  // namespace vellumark
