#pragma once

#include <QLoggingCategory>
#include <QString>

// The program's lines on standard error go through Qt's logging. The category's name is the prefix
// that Qt's default message pattern puts before each line: "vurk_mailchecker: …", as users and
// scripts have always read them. QT_LOGGING_RULES and QT_MESSAGE_PATTERN apply as to any Qt program.
Q_DECLARE_LOGGING_CATEGORY(lcVurk)

namespace app {

// One line for whoever reads the program's standard error.
void tell(const QString& line);

// For a line about the machine's state rather than news (no sound server, no notification
// server): told at its first occasion only, for the life of its owner.
class TellOnce {
public:
    void operator()(const QString& line);
    bool told() const { return m_told; }

private:
    bool m_told = false;
};

} // namespace app
