#pragma once

#include <QLabel>

namespace vellumark {

// A label that acts as a link: hand cursor, and a click reports itself.
class LinkLabel final : public QLabel {
    Q_OBJECT

public:
    explicit LinkLabel(const QString& text, QWidget* parent = nullptr);

signals:
    void clicked();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
};

}  // namespace vellumark
