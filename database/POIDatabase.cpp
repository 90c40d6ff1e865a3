#include "POIDatabase.h"

#include <algorithm>
#include <cctype>
#include <map>

#include "PoiSearch.h"
#include "Text.h"
#include "os/path.h"

namespace gpsdb {

namespace {

using gpslib::Bstr;
using gpslib::ComPtr;

std::string Text(BSTR text) {
    return gpslib::ToUtf8(text);
}

std::string Lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

bool IsUserFileName(const std::string& path) {
    return Lower(gpslib::os::BaseName(path)) == "user.pdb";
}

std::string Got(IPOIRecord* r, HRESULT (STDMETHODCALLTYPE IPOIRecord::*get)(BSTR*)) {
    Bstr b;
    (r->*get)(b.Put());
    return b.Utf8();
}

template <class T, class Getter> T GotValue(IPOIRecord* r, Getter get) {
    T value{};
    (r->*get)(&value);
    return value;
}

} // namespace

HRESULT NewRecordObject(const PoiRecord& p, const std::string& file, IPOIRecord** out) {
    ComPtr<IPOIRecord> r;
    HRESULT hr = gpslib::CreateObject(CLSID_POIRecord, IID_IPOIRecord, &r);
    if (FAILED(hr)) return hr;
    r->SetKey(static_cast<LONG>(p.key));
    r->SetName(Bstr(p.name).Get());
    r->SetDescription(Bstr(p.description).Get());
    r->SetAuthor(Bstr(p.author).Get());
    r->SetDate(Bstr(p.date).Get());
    r->SetThirdPartyId(Bstr(p.thirdPartyId).Get());
    r->SetTags(Bstr(p.tags).Get());
    r->SetHoursOfOperation(Bstr(p.hours).Get());
    r->SetAddressNumber(Bstr(p.addressNumber).Get());
    r->SetStreet(Bstr(p.street).Get());
    r->SetCity(Bstr(p.city).Get());
    r->SetState(Bstr(p.state).Get());
    r->SetCountry(Bstr(p.country).Get());
    r->SetZipCode(Bstr(p.zipCode).Get());
    r->SetPhoneNumber(Bstr(p.phone).Get());
    r->SetFaxNumber(Bstr(p.fax).Get());
    r->SetWebAddress(Bstr(p.web).Get());
    r->SetEmail(Bstr(p.email).Get());
    r->SetMediaFile(Bstr(p.mediaFile).Get());
    r->SetPDBFile(Bstr(file).Get());
    r->SetCategoryNumber(static_cast<SHORT>(p.category));
    r->SetSubCategoryNumber(static_cast<SHORT>(p.subcategory));
    r->SetIsUserPOI(gpslib::VariantBool(p.userPoi));
    r->SetIsPrivate(gpslib::VariantBool(p.isPrivate));
    r->SetCanModifyRMFFields(gpslib::VariantBool(p.modifyRmfFields));
    r->SetLatitudeOffset(p.latitudeOffset);
    r->SetLongitudeOffset(p.longitudeOffset);
    r->SetLatitude(p.latitude);
    r->SetLongitude(p.longitude);
    *out = r.Detach();
    return S_OK;
}

PoiRecord RecordFromObject(IPOIRecord* r) {
    PoiRecord p;
    p.key = GotValue<LONG>(r, &IPOIRecord::GetKey);
    p.name = Got(r, &IPOIRecord::GetName);
    p.description = Got(r, &IPOIRecord::GetDescription);
    p.author = Got(r, &IPOIRecord::GetAuthor);
    p.date = Got(r, &IPOIRecord::GetDate);
    p.thirdPartyId = Got(r, &IPOIRecord::GetThirdPartyId);
    p.tags = Got(r, &IPOIRecord::GetTags);
    p.hours = Got(r, &IPOIRecord::GetHoursOfOperation);
    p.addressNumber = Got(r, &IPOIRecord::GetAddressNumber);
    p.street = Got(r, &IPOIRecord::GetStreet);
    p.city = Got(r, &IPOIRecord::GetCity);
    p.state = Got(r, &IPOIRecord::GetState);
    p.country = Got(r, &IPOIRecord::GetCountry);
    p.zipCode = Got(r, &IPOIRecord::GetZipCode);
    p.phone = Got(r, &IPOIRecord::GetPhoneNumber);
    p.fax = Got(r, &IPOIRecord::GetFaxNumber);
    p.web = Got(r, &IPOIRecord::GetWebAddress);
    p.email = Got(r, &IPOIRecord::GetEmail);
    p.mediaFile = Got(r, &IPOIRecord::GetMediaFile);
    p.category = GotValue<SHORT>(r, &IPOIRecord::GetCategoryNumber);
    p.subcategory = GotValue<SHORT>(r, &IPOIRecord::GetSubCategoryNumber);
    p.userPoi = GotValue<VARIANT_BOOL>(r, &IPOIRecord::IsUserPOI) != 0;
    p.isPrivate = GotValue<VARIANT_BOOL>(r, &IPOIRecord::IsPrivate) != 0;
    p.modifyRmfFields = GotValue<VARIANT_BOOL>(r, &IPOIRecord::CanModifyRMFFields) != 0;
    p.latitudeOffset = GotValue<DOUBLE>(r, &IPOIRecord::GetLatitudeOffset);
    p.longitudeOffset = GotValue<DOUBLE>(r, &IPOIRecord::GetLongitudeOffset);
    p.latitude = GotValue<DOUBLE>(r, &IPOIRecord::GetLatitude);
    p.longitude = GotValue<DOUBLE>(r, &IPOIRecord::GetLongitude);
    return p;
}

// ---- Opening and limits ------------------------------------------------------------------------

void CPOIDatabase::ApplyCache(PoiFile* file) const {
    if (m_cachePages > 0) file->SetCacheSize(m_cachePages);
    // The memory cap wins when it allows fewer bytes than the page count would take (the page
    // size is SQLite's default, 4 KiB).
    if (m_cacheKilobytes > 0 && (m_cachePages == 0 || m_cacheKilobytes < m_cachePages * 4))
        file->SetCacheSize(-m_cacheKilobytes);
}

bool CPOIDatabase::OpenOne(const std::string& path, PoiFile::Access access,
                           const std::vector<int>& categories) {
    std::string error;
    auto file = PoiFile::Open(path, access, categories, &error);
    if (file == nullptr) {
        m_log.Write("POIDatabase: refused " + path + ": " + error);
        return false;
    }
    ApplyCache(file.get());
    m_files.push_back(std::move(file));
    return true;
}

HRESULT CPOIDatabase::OpenDatabases(BSTR bstrDirectory, SHORT* pnCount) {
    if (pnCount == nullptr) return E_POINTER;
    *pnCount = 0;
    CloseDatabase();
    const std::string dir = gpslib::os::NativePath(Text(bstrDirectory));
    if (dir.empty()) return S_OK;
    std::vector<std::string> names = FolderFiles(dir, ".pdb");
    if (std::none_of(names.begin(), names.end(),
                     [](const std::string& name) { return Lower(name) == "user.pdb"; })) {
        names.push_back("user.pdb");
        std::sort(names.begin(), names.end());
    }
    for (const std::string& name : names) {
        const std::string path = gpslib::os::JoinPath(dir, name);
        const bool user = IsUserFileName(name);
        if (OpenOne(gpslib::os::NativePath(path),
                    user ? PoiFile::Access::Create : PoiFile::Access::ReadOnly,
                    user ? std::vector<int>{kUserCategory} : std::vector<int>{}))
            ++*pnCount;
    }
    m_log.Write("POIDatabase: " + std::to_string(*pnCount) + " POI files open in " + dir);
    return S_OK;
}

HRESULT CPOIDatabase::CloseDatabase() {
    m_active = nullptr;
    m_files.clear();
    return S_OK;
}

HRESULT CPOIDatabase::OpenDatabase(BSTR bstrDatabaseFile, SHORT* pnCount) {
    if (pnCount == nullptr) return E_POINTER;
    *pnCount = 0;
    const std::string path = gpslib::os::NativePath(Text(bstrDatabaseFile));
    if (path.empty()) return S_OK;
    if (FileFor(bstrDatabaseFile) != nullptr || OpenOne(path, PoiFile::Access::Create, {}))
        *pnCount = 1;
    return S_OK;
}

HRESULT CPOIDatabase::SetActiveDatabase(BSTR bstrDatabaseFile, VARIANT_BOOL* pbActive) {
    if (pbActive == nullptr) return E_POINTER;
    PoiFile* file = Text(bstrDatabaseFile).empty() ? nullptr : FileFor(bstrDatabaseFile);
    if (file != nullptr) m_active = file;
    *pbActive = gpslib::VariantBool(file != nullptr);
    return S_OK;
}

HRESULT CPOIDatabase::SetCachePagesSQL(SHORT nPages) {
    SetCacheLimit(nPages, &m_cachePages);
    return S_OK;
}

HRESULT CPOIDatabase::SetMemoryAllocatedSQL(SHORT nKilobytes) {
    SetCacheLimit(nKilobytes, &m_cacheKilobytes);
    return S_OK;
}

void CPOIDatabase::SetCacheLimit(SHORT value, int* limit) {
    if (value < 1) return;
    *limit = value;
    for (auto& f : m_files)
        ApplyCache(f.get());
}

HRESULT CPOIDatabase::GetPOIFileInfo(BSTR bstrPOIFile, VARIANT* pvarCategoryNumbers,
                                     VARIANT_BOOL* pbIsPOIFile) {
    if (pvarCategoryNumbers == nullptr || pbIsPOIFile == nullptr) return E_POINTER;
    const std::string path = gpslib::os::NativePath(Text(bstrPOIFile));
    std::vector<int> categories;
    bool ok = !path.empty() && PoiFile::Inspect(path, &categories);
    if (ok && IsUserFileName(path) &&
        std::find(categories.begin(), categories.end(), kUserCategory) == categories.end()) {
        categories.push_back(kUserCategory);
        std::sort(categories.begin(), categories.end());
    }
    if (!ok) {
        categories.clear();
        if (!path.empty()) m_log.Write("POIDatabase: not a POI file: " + path);
    }
    *pbIsPOIFile = gpslib::VariantBool(ok);
    return gpslib::ReturnLongList(pvarCategoryNumbers,
                                  std::vector<LONG>(categories.begin(), categories.end()));
}

HRESULT CPOIDatabase::SetDebugDirectory(BSTR bstrDebugDirectory) {
    m_log.SetDirectory(Text(bstrDebugDirectory));
    return S_OK;
}

// ---- Lookups and search ------------------------------------------------------------------------

PoiFile* CPOIDatabase::FileFor(BSTR path) {
    const std::string wanted = gpslib::os::NativePath(Text(path));
    if (wanted.empty()) return m_active;
    for (auto& f : m_files)
        if (f->path() == wanted) return f.get();
    return nullptr;
}

std::vector<PoiFile*> CPOIDatabase::LookupOrder() {
    std::vector<PoiFile*> order;
    if (m_active != nullptr) order.push_back(m_active);
    for (auto& f : m_files)
        if (f.get() != m_active) order.push_back(f.get());
    return order;
}

PoiFile* CPOIDatabase::Holding(const std::string& name, PoiKey key,
                               std::optional<PoiSummary>* summary) {
    for (PoiFile* f : LookupOrder()) {
        std::optional<PoiSummary> s = f->Summary(key);
        if (s && s->name == name) {
            if (summary) *summary = std::move(s);
            return f;
        }
    }
    return nullptr;
}

HRESULT CPOIDatabase::DbPOIFind(IPOIResults* pCandidates, IPOISearchConfigurationObject* pConfig,
                                LONG* pnSearchCursor, IPOIResults** ppResults,
                                VARIANT_BOOL* pbFound) {
    if (pnSearchCursor == nullptr || ppResults == nullptr || pbFound == nullptr) return E_POINTER;
    *ppResults = nullptr;
    *pbFound = VARIANT_FALSE;
    ComPtr<IPOIResults> results;
    HRESULT hr = gpslib::CreateObject(CLSID_POIResults, IID_IPOIResults, &results);
    if (FAILED(hr)) return hr;
    LONG count = 0;
    if (pCandidates != nullptr) pCandidates->GetCount(&count);
    if (pCandidates == nullptr || pConfig == nullptr) {
        *pnSearchCursor = count;
        *ppResults = results.Detach();
        return S_OK;
    }

    Bstr search;
    pConfig->GetMainSearchString(search.Put());
    POIFields field{};
    pConfig->GetMainSearchField(&field);
    VARIANT_BOOL startsWith = 0, wholeWord = 0, privateOnly = 0, publicOnly = 0, includePrivate = 0;
    pConfig->GetStartsWithSearch(&startsWith);
    pConfig->GetWholeWord(&wholeWord);
    pConfig->GetUserPrivateOnly(&privateOnly);
    pConfig->GetUserPublicOnly(&publicOnly);
    pConfig->IncludeUserPrivateAsWell(&includePrivate);
    LONG max = 25;
    pConfig->GetMaxSearchResults(&max);
    if (max < 1) max = 25;
    const std::string text = search.Utf8();
    const MatchMode mode = wholeWord    ? MatchMode::WholeWord
                           : startsWith ? MatchMode::StartsWith
                                        : MatchMode::Anywhere;

    std::vector<std::unique_ptr<PoiFile::ReadBatch>> batches;
    std::map<PoiFile*, const std::set<PoiKey>*> indexed;
    for (PoiFile* f : LookupOrder()) {
        batches.push_back(std::make_unique<PoiFile::ReadBatch>(f));
        // The word index narrows the candidates where it holds the field; the literal comparison
        // on the record decides.
        if (!text.empty())
            indexed[f] = f->IndexedMatches(static_cast<int>(field), text, static_cast<int>(mode));
    }
    // When the word index answers for every file, a key none of them matched needs no look.
    bool everyFileIndexed = !text.empty() && !indexed.empty();
    for (const auto& [file, keys] : indexed)
        everyFileIndexed = everyFileIndexed && keys != nullptr;
    LONG matched = 0, last = count;
    for (LONG i = std::max<LONG>(0, *pnSearchCursor); i < count && matched < max; ++i) {
        Bstr name;
        LONG key = 0;
        if (pCandidates->GetItem(i, name.Put(), &key) != S_OK) continue;
        last = i;
        if (everyFileIndexed &&
            std::none_of(indexed.begin(), indexed.end(),
                         [key](const auto& entry) { return entry.second->count(key) > 0; }))
            continue;
        std::optional<PoiSummary> summary;
        PoiFile* file = Holding(name.Utf8(), key, &summary);
        if (file == nullptr || !VisibleTo(summary->isUser, summary->isPrivate, privateOnly,
                                          publicOnly, includePrivate))
            continue;
        if (!text.empty()) {
            const std::set<PoiKey>* keys = indexed[file];
            if (keys != nullptr && keys->count(key) == 0) continue;
            std::optional<PoiRecord> record = file->Get(key);
            if (!record || !TextMatches(FieldText(*record, static_cast<int>(field)), text, mode))
                continue;
        }
        results->Add(name.Get(), key);
        ++matched;
    }
    *pnSearchCursor = matched > 0 ? last : count;
    *pbFound = gpslib::VariantBool(matched > 0);
    *ppResults = results.Detach();
    return S_OK;
}

HRESULT CPOIDatabase::DbPOIGet(BSTR bstrName, LONG nKey, IPOIRecord** ppRecord,
                               VARIANT_BOOL* pbFound) {
    if (ppRecord == nullptr || pbFound == nullptr) return E_POINTER;
    *ppRecord = nullptr;
    *pbFound = VARIANT_FALSE;
    PoiFile* file = Holding(Text(bstrName), nKey, nullptr);
    std::optional<PoiRecord> record = file == nullptr ? std::nullopt : file->Get(nKey);
    if (!record) return S_OK;
    HRESULT hr = NewRecordObject(*record, file->path(), ppRecord);
    if (FAILED(hr)) return hr;
    *pbFound = VARIANT_TRUE;
    return S_OK;
}

HRESULT CPOIDatabase::DbPOIIsAccepted(BSTR bstrName, LONG nKey, VARIANT_BOOL* pbAccepted) {
    if (pbAccepted == nullptr) return E_POINTER;
    *pbAccepted = gpslib::VariantBool(Holding(Text(bstrName), nKey, nullptr) != nullptr);
    return S_OK;
}

// ---- Single-file operations --------------------------------------------------------------------

HRESULT CPOIDatabase::DbPOICompressDatabase(BSTR bstrDatabaseFile, VARIANT_BOOL* pbCompressed) {
    if (pbCompressed == nullptr) return E_POINTER;
    PoiFile* file = FileFor(bstrDatabaseFile);
    bool ok = file != nullptr && file->Compact();
    if (file != nullptr && !ok)
        m_log.Write("POIDatabase: cannot compact " + file->path() + ": " + file->LastError());
    *pbCompressed = gpslib::VariantBool(ok);
    return S_OK;
}

HRESULT CPOIDatabase::DbPOIGetCount(BSTR bstrDatabaseFile, SHORT* pnCount) {
    if (pnCount == nullptr) return E_POINTER;
    PoiFile* file = FileFor(bstrDatabaseFile);
    const std::int64_t count = file == nullptr ? 0 : std::min<std::int64_t>(file->Count(), 32767);
    *pnCount = static_cast<SHORT>(count);
    return S_OK;
}

bool CPOIDatabase::ReadRecord(IPOIRecord* object, BSTR mediaSource, RecordToWrite* out) {
    out->record = RecordFromObject(object);
    out->source = gpslib::os::NativePath(Text(mediaSource));
    if (out->source.empty()) return true;
    if (!ReadWholeFile(out->source, &out->media)) {
        m_log.Write("POIDatabase: cannot read the media file " + out->source);
        return false;
    }
    if (out->record.mediaFile.empty()) out->record.mediaFile = gpslib::os::BaseName(out->source);
    return true;
}

HRESULT CPOIDatabase::DbPOIAdd(BSTR bstrDatabaseFile, IPOIRecord* pRecord, BSTR bstrMediaSourceFile,
                               LONG* pnKey, VARIANT_BOOL* pbAdded) {
    if (pnKey == nullptr || pbAdded == nullptr) return E_POINTER;
    *pnKey = 0;
    *pbAdded = VARIANT_FALSE;
    PoiFile* file = FileFor(bstrDatabaseFile);
    RecordToWrite w;
    if (file == nullptr || pRecord == nullptr || !ReadRecord(pRecord, bstrMediaSourceFile, &w))
        return S_OK;
    PoiKey key = 0, blocking = 0;
    bool added = file->Add(w.record, w.Media(), &key, &blocking);
    if (!added && blocking == 0)
        m_log.Write("POIDatabase: cannot add to " + file->path() + ": " + file->LastError());
    *pnKey = static_cast<LONG>(added ? key : blocking);
    *pbAdded = gpslib::VariantBool(added);
    return S_OK;
}

HRESULT CPOIDatabase::DbPOIUpdate(BSTR bstrDatabaseFile, IPOIRecord* pRecord,
                                  BSTR bstrMediaSourceFile, VARIANT_BOOL* pbUpdated) {
    if (pbUpdated == nullptr) return E_POINTER;
    *pbUpdated = VARIANT_FALSE;
    PoiFile* file = FileFor(bstrDatabaseFile);
    RecordToWrite w;
    if (file == nullptr || pRecord == nullptr || !ReadRecord(pRecord, bstrMediaSourceFile, &w))
        return S_OK;
    *pbUpdated = gpslib::VariantBool(file->Update(w.record, w.Media()));
    return S_OK;
}

HRESULT CPOIDatabase::DbPOIDelete(BSTR bstrDatabaseFile, LONG nKey, VARIANT_BOOL* pbDeleted) {
    if (pbDeleted == nullptr) return E_POINTER;
    PoiFile* file = FileFor(bstrDatabaseFile);
    *pbDeleted = gpslib::VariantBool(file != nullptr && file->Delete(nKey));
    return S_OK;
}

HRESULT CPOIDatabase::DbPOIGetByPosition(BSTR bstrDatabaseFile, LONG nPosition, BSTR* pbstrName,
                                         LONG* pnKey, VARIANT_BOOL* pbFound) {
    if (pbstrName == nullptr || pnKey == nullptr || pbFound == nullptr) return E_POINTER;
    PoiFile* file = FileFor(bstrDatabaseFile);
    auto entry = file == nullptr ? std::nullopt : file->AtPosition(nPosition);
    *pbstrName = gpslib::AllocBstr(entry ? entry->first : std::string());
    *pnKey = entry ? static_cast<LONG>(entry->second) : 0;
    *pbFound = gpslib::VariantBool(entry.has_value());
    return S_OK;
}

HRESULT CPOIDatabase::DbPOIGetNamesAndKeys(BSTR bstrDatabaseFile, VARIANT* pvarNames,
                                           VARIANT* pvarKeys, SHORT* pnCount) {
    if (pvarNames == nullptr || pvarKeys == nullptr || pnCount == nullptr) return E_POINTER;
    PoiFile* file = FileFor(bstrDatabaseFile);
    std::vector<std::u16string> names;
    std::vector<LONG> keys;
    if (file != nullptr) {
        for (const auto& entry : file->NamesAndKeys()) {
            if (names.size() >= 32767) break;
            names.push_back(gpslib::ToUtf16(entry.first));
            keys.push_back(static_cast<LONG>(entry.second));
        }
    }
    *pnCount = static_cast<SHORT>(names.size());
    HRESULT hr = gpslib::ReturnStringList(pvarNames, names);
    return FAILED(hr) ? hr : gpslib::ReturnLongList(pvarKeys, keys);
}

HRESULT CPOIDatabase::DbPOIGetNextFreeKey(BSTR bstrDatabaseFile, LONG* pnKey) {
    if (pnKey == nullptr) return E_POINTER;
    PoiFile* file = FileFor(bstrDatabaseFile);
    *pnKey = file == nullptr ? 1 : static_cast<LONG>(file->NextFreeKey());
    return S_OK;
}

HRESULT CPOIDatabase::DbPOIAddTag(BSTR bstrDatabaseFile, SHORT nSubCategory, BSTR bstrTag,
                                  VARIANT_BOOL* pbAdded) {
    if (pbAdded == nullptr) return E_POINTER;
    PoiFile* file = FileFor(bstrDatabaseFile);
    const std::string tag = Text(bstrTag);
    *pbAdded =
        gpslib::VariantBool(file != nullptr && !tag.empty() && file->AddTag(nSubCategory, tag));
    return S_OK;
}

HRESULT CPOIDatabase::DbPOIGetTags(BSTR bstrDatabaseFile, SHORT nSubCategory, VARIANT* pvarTags,
                                   SHORT* pnCount) {
    if (pvarTags == nullptr || pnCount == nullptr) return E_POINTER;
    PoiFile* file = FileFor(bstrDatabaseFile);
    std::vector<std::u16string> tags;
    if (file != nullptr)
        for (const std::string& t : file->Tags(nSubCategory))
            tags.push_back(gpslib::ToUtf16(t));
    *pnCount = static_cast<SHORT>(std::min<std::size_t>(tags.size(), 32767));
    return gpslib::ReturnStringList(pvarTags, tags);
}

HRESULT CPOIDatabase::DbPOIExtractMediaFile(BSTR bstrDatabaseFile, LONG nKey,
                                            BSTR bstrMediaFileName, BSTR bstrTargetFile,
                                            VARIANT_BOOL* pbExtracted) {
    if (pbExtracted == nullptr) return E_POINTER;
    *pbExtracted = VARIANT_FALSE;
    PoiFile* file = FileFor(bstrDatabaseFile);
    const std::string target = gpslib::os::NativePath(Text(bstrTargetFile));
    if (file == nullptr || target.empty()) return S_OK;
    std::optional<std::string> media = file->Media(nKey, Text(bstrMediaFileName));
    if (!media) return S_OK;
    bool ok = ReplaceFile(target, *media);
    if (!ok) m_log.Write("POIDatabase: cannot write " + target);
    *pbExtracted = gpslib::VariantBool(ok);
    return S_OK;
}

} // namespace gpsdb

GPSLIB_CLASS_FACTORY(POIDatabase, gpsdb::CPOIDatabase)
