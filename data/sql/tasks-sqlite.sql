-- The tables of kvrsetup's tasks in an SQLite database (Data.db, or a gammu-smsd gateway's
-- database that every workstation of the gateway shares). kvrsetup creates them itself where
-- it may write; otherwise: sqlite3 DATABASE < tasks-sqlite.sql

CREATE TABLE IF NOT EXISTS kvr_tasks (
    id INTEGER PRIMARY KEY AUTOINCREMENT,
    operation TEXT NOT NULL,
    terminal TEXT,
    number TEXT NOT NULL,
    file_name TEXT,
    file_sha256 TEXT,
    payload BLOB,
    workstation TEXT,
    user_name TEXT,
    created TEXT NOT NULL,
    sent TEXT,
    confirmed TEXT,
    status TEXT NOT NULL,
    detail TEXT
);

CREATE TABLE IF NOT EXISTS kvr_task_packets (
    task_id INTEGER NOT NULL REFERENCES kvr_tasks (id),
    packet INTEGER NOT NULL,
    state TEXT NOT NULL,
    gateway_ids TEXT NOT NULL DEFAULT '',
    time TEXT,
    PRIMARY KEY (task_id, packet)
);

CREATE TABLE IF NOT EXISTS kvr_halves (
    id INTEGER PRIMARY KEY AUTOINCREMENT,
    number TEXT NOT NULL,
    packet INTEGER NOT NULL,
    data BLOB NOT NULL,
    inbox_id INTEGER,
    received TEXT NOT NULL
);

CREATE INDEX IF NOT EXISTS kvr_tasks_status ON kvr_tasks (status);
