// What the Access-to-MySQL run carries once every table's rows are in:
// relationships with referential integrity as FOREIGN KEY constraints, saved
// select queries as views, and the column rules (Required as NOT NULL where
// every row complies, Description as COMMENT, a ValidationRule as CHECK). Whatever cannot be carried (a relationship its
// rows break or whose other table is not in the target, an action query, a
// rule with no MySQL form) is named in the session's notCarried list with
// the reason; none of it fails the run. What is carried is listed in the
// session's carriedExtras.
#pragma once

#include "common/conversion_session.h"
#include "to_mysql/access_source.h"

namespace veltrano {
class MYSQL_CONNECTION;
}

namespace veltrano::tomysql {

struct ExtrasSettings {
    bool foreignKeys = true;
    bool views = true;
};

// REQUIRES: the target database is selected on `mysql`; the tables of
// session.tables marked converted exist there with their rows.
void carrySchemaExtras(ConversionSession& session, MYSQL_CONNECTION& mysql, AccessSource& source,
                       const ExtrasSettings& settings);

}  // namespace veltrano::tomysql
