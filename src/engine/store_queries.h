// The engine operations that every store-backed engine answers the same
// way from its result store: listings, counts, paths and type queries.
// Each flushes the store first, so records still in its write buffer are
// seen; an engine without a store (not scanned yet) lists nothing.
#pragma once

#include <string>
#include <vector>

#include "engine/engine_interface.h"
#include "engine/result_store.h"

namespace mendwell {

Status QueryChildren(ResultStore* store, uint64_t key, std::vector<FileRecord>& out);
Status QueryCount(ResultStore* store, uint64_t key, uint32_t* count);
// 87 for a null record or output.
Status QueryPath(ResultStore* store, const FileRecord* record, std::string* path);
// 0 without a store (the log cannot be read), else the store's answer.
int32_t QueryByType(ResultStore* store, ListProgressFn fn, void* user, const std::string& filter,
                    std::vector<FileRecord>& out);

}  // namespace mendwell
