-- The office's shared address book on PostgreSQL, for an administrator to
-- run once where the desks' role may not create tables:
--
--   psql -d DATABASE -v desk=ROLE -f rubrica-server.sql
--
-- ROLE is the role the desks log in as (create it first, e.g.
-- CREATE ROLE ufficio LOGIN PASSWORD '...'). It gets only what the address
-- book needs: reading and writing the rows of this one table.
\set ON_ERROR_STOP on

BEGIN;

-- The columns of the desks' file (fax, nome, gruppo), a key of the server's
-- own and a count of each row's changes, which lets a desk notice that
-- another one changed a contact meanwhile.
CREATE TABLE anagrafica (
    id bigint GENERATED ALWAYS AS IDENTITY PRIMARY KEY,
    fax text NOT NULL DEFAULT '',
    nome text NOT NULL DEFAULT '',
    gruppo text NOT NULL DEFAULT '',
    version bigint NOT NULL DEFAULT 1
);

-- Every change is announced on the channel "anagrafica": open address books
-- list the contacts again.
CREATE OR REPLACE FUNCTION anagrafica_notify() RETURNS trigger LANGUAGE plpgsql AS
$$BEGIN PERFORM pg_notify('anagrafica', ''); RETURN NULL; END$$;

CREATE TRIGGER anagrafica_changed AFTER INSERT OR UPDATE OR DELETE OR TRUNCATE ON anagrafica
    FOR EACH STATEMENT EXECUTE FUNCTION anagrafica_notify();

GRANT SELECT, INSERT, UPDATE, DELETE ON anagrafica TO :"desk";

COMMIT;
