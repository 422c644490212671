#include "ChangeHistory.h"

#include <errno.h>
#include <pwd.h>
#include <unistd.h>

#include <cstdlib>

#include "StepProgress.h"
#include "Text.h"

namespace orv::tarnby {

namespace {

using db::FieldDef;
using db::FieldType;
using db::RecordsetType;

constexpr const char* kNeverRewritten = "The change history is never rewritten";
constexpr const char* kAttribution = "tarnby_change_attribution";

FieldDef Column(const char* name, FieldType type, int32_t size = 0) {
  FieldDef f;
  f.name = name;
  f.type = type;
  f.size = size;
  return f;
}

std::string Quoted(const std::string& text) {
  std::string out = "'";
  for (char ch : text) out += ch == '\'' ? std::string("''") : std::string(1, ch);
  return out + "'";
}

std::string Ident(const std::string& name) { return "\"" + name + "\""; }

// The claimant a row of `table` belongs to, through the trigger's row `row`
// (NEW or OLD); a user-defined factor belongs to none.
std::string ClaimantOf(const std::string& table, const char* row) {
  if (IEquals(table, "CLAIMANT")) return std::string(row) + ".\"ID\"";
  if (IEquals(table, "USERFACTOR")) return "NULL";
  return std::string(row) + ".\"CLAIMANTID\"";
}

std::string TriggerName(const std::string& table, const char* action) {
  return std::string(kChangeHistoryTable) + "_" + table + "_" + action;
}

// One trigger: a record per field the change touches.
std::string TriggerSql(const std::string& table, const std::vector<FieldDef>& fields,
                       const char* action) {
  const bool insert = std::string(action) == "INSERT";
  const bool remove = std::string(action) == "DELETE";
  const char* row = remove ? "OLD" : "NEW";
  std::string values;
  for (const FieldDef& f : fields) {
    if (!values.empty()) values += " UNION ALL ";
    values += "SELECT " + Quoted(f.name) + " AS f, " +
              (insert ? std::string("NULL") : "OLD." + Ident(f.name)) + " AS o, " +
              (remove ? std::string("NULL") : "NEW." + Ident(f.name)) + " AS n";
  }
  return "CREATE TRIGGER " + Ident(TriggerName(table, action)) + " AFTER " + action + " ON " +
         Ident(table) + " BEGIN INSERT INTO " + kChangeHistoryTable +
         " (CHANGETIME, TABLENAME, ROWKEY, CLAIMANTID, ACTION, FIELD, OLDVALUE, NEWVALUE) "
         "SELECT strftime('%Y-%m-%d %H:%M:%f', 'now'), " +
         Quoted(table) + ", " + row + ".\"ID\", " + ClaimantOf(table, row) + ", " +
         Quoted(insert ? "insert" : remove ? "delete" : "update") + ", f, o, n FROM (" + values +
         ") WHERE o IS NOT n; END";
}

// The server's form of one trigger: a function of its own that inserts a
// record per field the change touches, with the login user (session_user)
// and the program its connection names (application_name), and the trigger
// that calls it after every row.
std::vector<std::string> ServerTriggerSql(const std::string& table,
                                          const std::vector<FieldDef>& fields, const char* action) {
  const bool insert = std::string(action) == "INSERT";
  const bool remove = std::string(action) == "DELETE";
  const char* row = remove ? "OLD" : "NEW";
  const std::string function = LowerAscii(TriggerName(table, action));
  std::string values;
  for (const FieldDef& f : fields) {
    const std::string column = LowerAscii(f.name);
    if (!values.empty()) values += ", ";
    values += "(" + Quoted(UpperAscii(f.name)) + ", " +
              (insert ? std::string("NULL::text") : "CAST(OLD." + column + " AS text)") + ", " +
              (remove ? std::string("NULL::text") : "CAST(NEW." + column + " AS text)") + ")";
  }
  const std::string claimant = IEquals(table, "USERFACTOR") ? "NULL"
                               : IEquals(table, "CLAIMANT") ? std::string(row) + ".id"
                                                            : std::string(row) + ".claimantid";
  return {"CREATE OR REPLACE FUNCTION " + function +
              "() RETURNS trigger LANGUAGE plpgsql AS $$ BEGIN INSERT INTO changehistory "
              "(changetime, username, program, tablename, rowkey, claimantid, action, field, "
              "oldvalue, newvalue) SELECT to_char(clock_timestamp() AT TIME ZONE 'UTC', "
              "'YYYY-MM-DD HH24:MI:SS.MS'), left(session_user::text, 100), "
              "left(current_setting('application_name'), 100), " +
              Quoted(UpperAscii(table)) + ", " + row + ".id, " + claimant + ", " +
              Quoted(insert ? "insert" : remove ? "delete" : "update") +
              ", v.f, v.o, v.n FROM (VALUES " + values +
              ") AS v(f, o, n) WHERE v.o IS DISTINCT FROM v.n; RETURN NULL; END $$",
          "CREATE TRIGGER " + Ident(TriggerName(table, action)) + " AFTER " + action + " ON " +
              Ident(table) + " FOR EACH ROW EXECUTE FUNCTION " + function + "()"};
}

void CreateTrackingTriggers(db::Database& d) {
  for (const std::string& t : TrackedTables()) {
    const std::vector<FieldDef> fields = d.Fields(t);
    for (const char* action : {"INSERT", "UPDATE", "DELETE"}) {
      if (d.IsServer()) {
        for (const std::string& sql : ServerTriggerSql(t, fields, action)) d.Execute(sql);
      } else {
        d.Execute(TriggerSql(t, fields, action));
      }
    }
  }
}

// Records are kept as written: the triggers that refuse their change.
void CreateKeepTriggers(db::Database& d) {
  if (d.IsServer()) {
    // A server's records name their user and program as they are written,
    // so no change to a record is ever allowed.
    d.Execute("CREATE OR REPLACE FUNCTION changehistory_keep() RETURNS trigger LANGUAGE plpgsql "
              "AS $$ BEGIN RAISE EXCEPTION " + Quoted(kNeverRewritten) + "; END $$");
    for (const char* action : {"UPDATE", "DELETE"})
      d.Execute("CREATE TRIGGER " + Ident(std::string(kChangeHistoryTable) + "_KEEP_" + action) +
                " BEFORE " + action + " ON " + kChangeHistoryTable +
                " FOR EACH ROW EXECUTE FUNCTION changehistory_keep()");
    d.Execute("CREATE TRIGGER " + Ident(std::string(kChangeHistoryTable) + "_KEEP_TRUNCATE") +
              " BEFORE TRUNCATE ON " + kChangeHistoryTable +
              " FOR EACH STATEMENT EXECUTE FUNCTION changehistory_keep()");
    return;
  }
  // Records are kept as written. The one change allowed is the naming of
  // the user and program in a record that has neither (AttributeChanges).
  std::string same;
  for (const char* c : {"ID", "CHANGETIME", "TABLENAME", "ROWKEY", "CLAIMANTID", "ACTION", "FIELD",
                        "OLDVALUE", "NEWVALUE"})
    same += std::string(" AND NEW.") + c + " IS OLD." + c;
  d.Execute("CREATE TRIGGER " + Ident(std::string(kChangeHistoryTable) + "_KEEP_UPDATE") +
            " BEFORE UPDATE ON " + kChangeHistoryTable +
            " WHEN NOT (OLD.USERNAME IS NULL AND OLD.PROGRAM IS NULL" + same +
            ") BEGIN SELECT RAISE(ABORT, " + Quoted(kNeverRewritten) + "); END");
  d.Execute("CREATE TRIGGER " + Ident(std::string(kChangeHistoryTable) + "_KEEP_DELETE") +
            " BEFORE DELETE ON " + kChangeHistoryTable + " BEGIN SELECT RAISE(ABORT, " +
            Quoted(kNeverRewritten) + "); END");
}

}  // namespace

const std::vector<std::string>& TrackedTables() {
  static const std::vector<std::string> tables = {"CLAIMANT", "WORKHISTORY", "SMOKEHISTORY",
                                                  "USERFACTOR"};
  return tables;
}

std::vector<std::string> ChangeHistoryTriggers(bool server) {
  std::vector<std::string> names;
  for (const std::string& t : TrackedTables())
    for (const char* action : {"INSERT", "UPDATE", "DELETE"}) names.push_back(TriggerName(t, action));
  names.push_back(std::string(kChangeHistoryTable) + "_KEEP_UPDATE");
  names.push_back(std::string(kChangeHistoryTable) + "_KEEP_DELETE");
  if (server) names.push_back(std::string(kChangeHistoryTable) + "_KEEP_TRUNCATE");
  return names;
}

void CreateChangeHistory(db::Database& d) {
  FieldDef id = Column("ID", FieldType::Long);
  id.required = true;
  id.auto_increment = true;
  d.CreateTable(kChangeHistoryTable,
                {id, Column("CHANGETIME", FieldType::Text, 30), Column("USERNAME", FieldType::Text, 100),
                 Column("PROGRAM", FieldType::Text, 100), Column("TABLENAME", FieldType::Text, 30),
                 Column("ROWKEY", FieldType::Long), Column("CLAIMANTID", FieldType::Long),
                 Column("ACTION", FieldType::Text, 10), Column("FIELD", FieldType::Text, 64),
                 Column("OLDVALUE", FieldType::Memo), Column("NEWVALUE", FieldType::Memo)});
  db::IndexDef by_claimant;
  by_claimant.name = "CLAIMANTID";
  by_claimant.fields = {"CLAIMANTID"};
  d.CreateIndex(kChangeHistoryTable, by_claimant);
  CreateTrackingTriggers(d);
  CreateKeepTriggers(d);
}

std::string LoginName() {
  if (const passwd* pw = getpwuid(geteuid()); pw && pw->pw_name) return pw->pw_name;
  for (const char* var : {"LOGNAME", "USER"})
    if (const char* v = std::getenv(var); v && *v) return v;
  return {};
}

std::string ProgramName() { return program_invocation_short_name; }

void SuspendChangeRecording(db::Database& d) {
  if (!d.TableExists(kChangeHistoryTable)) return;
  // Records written meanwhile are someone else's: this connection's naming
  // of user and program ends with it.
  if (!d.IsServer()) d.Execute(std::string("DROP TRIGGER IF EXISTS temp.") + kAttribution);
  for (const std::string& t : TrackedTables())
    for (const char* action : {"INSERT", "UPDATE", "DELETE"})
      d.Execute("DROP TRIGGER IF EXISTS " + Ident(TriggerName(t, action)) +
                (d.IsServer() ? " ON " + Ident(t) : std::string()));
  for (const char* keep : {"_KEEP_UPDATE", "_KEEP_DELETE", "_KEEP_TRUNCATE"}) {
    if (!d.IsServer() && std::string(keep) == "_KEEP_TRUNCATE") continue;
    d.Execute("DROP TRIGGER IF EXISTS " + Ident(std::string(kChangeHistoryTable) + keep) +
              (d.IsServer() ? std::string(" ON ") + kChangeHistoryTable : std::string()));
  }
}

void ResumeChangeRecording(db::Database& d) {
  if (!d.TableExists(kChangeHistoryTable)) return;
  CreateTrackingTriggers(d);
  CreateKeepTriggers(d);
}

void AttributeChanges(db::Database& d, const std::string& user, const std::string& program) {
  if (d.ReadOnly() || !d.TableExists(kChangeHistoryTable)) return;
  if (d.IsServer()) {
    // The server's triggers take the user from the login and the program
    // from the name the connection gives itself.
    d.Execute("SET application_name = " + Quoted(program.substr(0, 63)));
    return;
  }
  // A connection's own (temporary) trigger: it names this program in the
  // records its changes leave, and goes with the connection.
  d.Execute(std::string("CREATE TEMP TRIGGER IF NOT EXISTS ") + kAttribution +
            " AFTER INSERT ON main." + kChangeHistoryTable +
            " WHEN NEW.USERNAME IS NULL AND NEW.PROGRAM IS NULL BEGIN UPDATE " +
            kChangeHistoryTable + " SET USERNAME = " + Quoted(user.substr(0, 100)) +
            ", PROGRAM = " + Quoted(program.substr(0, 100)) + " WHERE ID = NEW.ID; END");
}

namespace {

// The records (oldest first unless `newest_first`), after the record
// `after` when given, at most `limit` when given; `last` is told the ID of
// the last record read.
std::vector<ChangeRecord> ReadRecords(db::Database& d, std::optional<int32_t> claimant,
                                      const std::optional<std::string>& since, bool newest_first,
                                      std::optional<int64_t> after, std::optional<int32_t> limit,
                                      int64_t* last) {
  std::vector<ChangeRecord> out;
  if (!d.TableExists(kChangeHistoryTable)) return out;
  std::string sql =
      "SELECT CHANGETIME, USERNAME, PROGRAM, TABLENAME, ROWKEY, CLAIMANTID, ACTION, FIELD, "
      "OLDVALUE, NEWVALUE, ID FROM CHANGEHISTORY WHERE 1 = 1";
  std::vector<Value> values;
  if (claimant) {
    sql += " AND CLAIMANTID = ?";
    values.emplace_back(*claimant);
  }
  if (since) {
    sql += " AND CHANGETIME >= ?";
    values.emplace_back(*since);
  }
  if (after) {
    sql += " AND ID > ?";
    values.emplace_back(*after);
  }
  sql += newest_first ? " ORDER BY ID DESC" : " ORDER BY ID";
  if (limit) {
    sql += " LIMIT ?";
    values.emplace_back(*limit);
  }
  const auto optional_text = [](const Value& v) -> std::optional<std::string> {
    if (v.IsNull()) return std::nullopt;
    return v.AsText();
  };
  for (auto r = d.OpenRecordset(sql, RecordsetType::Snapshot, values); !r->IsEOF(); r->MoveNext()) {
    ChangeRecord c;
    c.time = r->Field(0).TextOrEmpty();
    c.user = r->Field(1).TextOrEmpty();
    c.program = r->Field(2).TextOrEmpty();
    c.table = r->Field(3).TextOrEmpty();
    c.row = r->Field(4).IsNull() ? 0 : r->Field(4).AsInt64();
    if (!r->Field(5).IsNull()) c.claimant = r->Field(5).AsInt64();
    c.action = r->Field(6).TextOrEmpty();
    c.field = r->Field(7).TextOrEmpty();
    c.old_value = optional_text(r->Field(8));
    c.new_value = optional_text(r->Field(9));
    out.push_back(std::move(c));
    if (last) *last = r->Field(10).AsInt64();
  }
  return out;
}

}  // namespace

std::vector<ChangeRecord> ReadChanges(db::Database& d, std::optional<int32_t> claimant,
                                      const std::optional<std::string>& since, bool newest_first) {
  return ReadRecords(d, claimant, since, newest_first, std::nullopt, std::nullopt, nullptr);
}

void ForEachChange(db::Database& d, std::optional<int32_t> claimant,
                   const std::optional<std::string>& since,
                   const std::function<void(const ChangeRecord&)>& each,
                   const ProgressFn& progress) {
  // A page of records at a time, by ID: a national database's history is
  // tens of millions of records, more than a program may hold at once.
  // The pages are read in one read transaction: one picture of the history,
  // whatever is written meanwhile.
  constexpr int32_t kPage = 10000;
  d.BeginTrans(false);
  try {
    // How far: the last ID read within the range of IDs the history holds,
    // which its key gives at once (counting the records of one claimant or
    // from a day on would read them twice).
    int64_t first = 0, span = 0;
    if (progress && d.TableExists(kChangeHistoryTable)) {
      auto r = d.OpenRecordset("SELECT MIN(ID), MAX(ID) FROM CHANGEHISTORY", RecordsetType::Snapshot);
      if (!r->Field(0).IsNull()) {
        first = r->Field(0).AsInt64();
        span = r->Field(1).AsInt64() - first + 1;
      }
    }
    StepProgress step(progress, "Reading the change history", span);
    std::optional<int64_t> after;
    for (;;) {
      int64_t last = 0;
      const std::vector<ChangeRecord> page =
          ReadRecords(d, claimant, since, false, after, kPage, &last);
      for (const ChangeRecord& c : page) each(c);
      if (page.size() < static_cast<size_t>(kPage)) break;
      after = last;
      step.Tell(last - first + 1);
    }
    step.End();
  } catch (...) {
    d.Rollback();
    throw;
  }
  d.CommitTrans();
}

}  // namespace orv::tarnby
