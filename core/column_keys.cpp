#include "core/column_keys.h"

namespace vellumark {

int FindColumnKey(std::string_view key)
{
    for (int index = 0; index < kColumnKeyCount; ++index)
        if (kColumnKeys[index] == key)
            return index;
    return -1;
}

int ColumnKeyIndex(std::string_view key)
{
    const int index = FindColumnKey(key);
    return index < 0 ? 0 : index;
}

}  // namespace vellumark
