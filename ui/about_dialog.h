#pragma once

#include <QDialog>

namespace vellumark {

// The about box: product and version, one line about the program, the web and mail links.
class AboutDialog final : public QDialog {
    Q_OBJECT

public:
    explicit AboutDialog(QWidget* parent = nullptr);
};

}  // namespace vellumark
