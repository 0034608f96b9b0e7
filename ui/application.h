#pragma once

#include <QApplication>

namespace vellumark {

// The application with its last line of defence: a failure that escapes an event handler is
// shown in a message box ("Warning") instead of ending the program. Commands have their own
// guard; this one only catches what slipped past.
class VellumarkApplication final : public QApplication {
    Q_OBJECT

public:
    VellumarkApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};

}  // namespace vellumark
