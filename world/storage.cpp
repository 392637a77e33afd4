// Seam: the table upgrade is not built yet; the file is only opened.
#include "world/storage.h"

void open_level_db(MyDB& db, const std::string& path) { db.db_open(path); }
