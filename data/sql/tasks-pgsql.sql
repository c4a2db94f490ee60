-- The tables of kvrsetup's tasks in a gammu-smsd gateway's PostgreSQL database, which every
-- workstation of the gateway shares. kvrsetup creates them itself where its user may; otherwise
-- a user who may: psql -d DATABASE -f tasks-pgsql.sql, then GRANT SELECT, INSERT, UPDATE,
-- DELETE on the three tables, and USAGE on their sequences, to the gateway's user.

CREATE TABLE IF NOT EXISTS kvr_tasks (
    id BIGSERIAL PRIMARY KEY,
    operation TEXT NOT NULL,
    terminal TEXT,
    number TEXT NOT NULL,
    file_name TEXT,
    file_sha256 TEXT,
    payload BYTEA,
    workstation TEXT,
    user_name TEXT,
    created TEXT NOT NULL,
    sent TEXT,
    confirmed TEXT,
    status TEXT NOT NULL,
    detail TEXT
);

CREATE TABLE IF NOT EXISTS kvr_task_packets (
    task_id BIGINT NOT NULL REFERENCES kvr_tasks (id),
    packet INTEGER NOT NULL,
    state TEXT NOT NULL,
    gateway_ids TEXT NOT NULL DEFAULT '',
    time TEXT,
    PRIMARY KEY (task_id, packet)
);

CREATE TABLE IF NOT EXISTS kvr_halves (
    id BIGSERIAL PRIMARY KEY,
    number TEXT NOT NULL,
    packet INTEGER NOT NULL,
    data BYTEA NOT NULL,
    inbox_id BIGINT,
    received TEXT NOT NULL
);

CREATE INDEX IF NOT EXISTS kvr_tasks_status ON kvr_tasks (status);
