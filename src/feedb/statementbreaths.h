#pragma once

class FeeDatabase;

/// While it lives, every statement of the connection breathes within the current run (see
/// RunControl): SQLite calls back every thousand steps of its engine, the front end paints and
/// hears a cancel, and a cancelled run interrupts the statement, which then fails as interrupted.
/// Installed at the connection, so that imports, views and reports are covered alike.
class StatementBreaths {
public:
    explicit StatementBreaths(FeeDatabase& db);
    ~StatementBreaths();
    StatementBreaths(const StatementBreaths&) = delete;
    StatementBreaths& operator=(const StatementBreaths&) = delete;

private:
    static int callback(void*);

    FeeDatabase& m_db;
};
