#include "engine/store_queries.h"

namespace mendwell {

Status QueryChildren(ResultStore* store, uint64_t key, std::vector<FileRecord>& out) {
  if (!store) return kOk;
  store->Flush();  // a failed write still leaves what is on disk to query
  return store->Children(key, out);
}

Status QueryCount(ResultStore* store, uint64_t key, uint32_t* count) {
  if (!count) return kErrInvalidParameter;
  *count = 0;
  if (!store) return kOk;
  store->Flush();
  return store->Count(key, count);
}

Status QueryPath(ResultStore* store, const FileRecord* record, std::string* path) {
  if (!record || !path) return kErrInvalidParameter;
  path->clear();
  return store ? store->Path(*record, path) : kOk;
}

int32_t QueryByType(ResultStore* store, ListProgressFn fn, void* user, const std::string& filter,
                    std::vector<FileRecord>& out) {
  if (!store) return 0;
  store->Flush();
  store->SetListCallback(fn, user);
  return store->ByType(filter, out);
}

}  // namespace mendwell
