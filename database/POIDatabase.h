// The POI database class of the component: a set of open POI files or personal stores, one of
// them active (docs/components.md, "POI and personal-store database").
#ifndef DATABASE_POIDATABASE_H_
#define DATABASE_POIDATABASE_H_

#include <memory>
#include <string>
#include <vector>

#include "GPSDatabaseLib_classes.h"
#include "Io.h"
#include "PoiFile.h"

namespace gpsdb {

class CPOIDatabase : public CPOIDatabaseBase {
public:
    HRESULT OpenDatabases(BSTR bstrDirectory, SHORT* pnCount) override;
    HRESULT CloseDatabase() override;
    HRESULT OpenDatabase(BSTR bstrDatabaseFile, SHORT* pnCount) override;
    HRESULT SetActiveDatabase(BSTR bstrDatabaseFile, VARIANT_BOOL* pbActive) override;
    HRESULT SetCachePagesSQL(SHORT nPages) override;
    HRESULT SetMemoryAllocatedSQL(SHORT nKilobytes) override;
    HRESULT GetPOIFileInfo(BSTR bstrPOIFile, VARIANT* pvarCategoryNumbers,
                           VARIANT_BOOL* pbIsPOIFile) override;
    HRESULT SetDebugDirectory(BSTR bstrDebugDirectory) override;
    HRESULT DbPOIFind(IPOIResults* pCandidates, IPOISearchConfigurationObject* pSearchConfiguration,
                      LONG* pnSearchCursor, IPOIResults** ppResults,
                      VARIANT_BOOL* pbFound) override;
    HRESULT DbPOIGet(BSTR bstrName, LONG nKey, IPOIRecord** ppRecord,
                     VARIANT_BOOL* pbFound) override;
    HRESULT DbPOIIsAccepted(BSTR bstrName, LONG nKey, VARIANT_BOOL* pbAccepted) override;
    HRESULT DbPOICompressDatabase(BSTR bstrDatabaseFile, VARIANT_BOOL* pbCompressed) override;
    HRESULT DbPOIGetCount(BSTR bstrDatabaseFile, SHORT* pnCount) override;
    HRESULT DbPOIAdd(BSTR bstrDatabaseFile, IPOIRecord* pRecord, BSTR bstrMediaSourceFile,
                     LONG* pnKey, VARIANT_BOOL* pbAdded) override;
    HRESULT DbPOIUpdate(BSTR bstrDatabaseFile, IPOIRecord* pRecord, BSTR bstrMediaSourceFile,
                        VARIANT_BOOL* pbUpdated) override;
    HRESULT DbPOIDelete(BSTR bstrDatabaseFile, LONG nKey, VARIANT_BOOL* pbDeleted) override;
    HRESULT DbPOIGetByPosition(BSTR bstrDatabaseFile, LONG nPosition, BSTR* pbstrName, LONG* pnKey,
                               VARIANT_BOOL* pbFound) override;
    HRESULT DbPOIGetNamesAndKeys(BSTR bstrDatabaseFile, VARIANT* pvarNames, VARIANT* pvarKeys,
                                 SHORT* pnCount) override;
    HRESULT DbPOIGetNextFreeKey(BSTR bstrDatabaseFile, LONG* pnKey) override;
    HRESULT DbPOIAddTag(BSTR bstrDatabaseFile, SHORT nSubCategory, BSTR bstrTag,
                        VARIANT_BOOL* pbAdded) override;
    HRESULT DbPOIGetTags(BSTR bstrDatabaseFile, SHORT nSubCategory, VARIANT* pvarTags,
                         SHORT* pnCount) override;
    HRESULT DbPOIExtractMediaFile(BSTR bstrDatabaseFile, LONG nKey, BSTR bstrMediaFileName,
                                  BSTR bstrTargetFile, VARIANT_BOOL* pbExtracted) override;

private:
    // The open file named by a path ("\\" read as "/"); the active one for an empty path.
    PoiFile* FileFor(BSTR path);
    // Open files in lookup order: the active one first, then the others as they were opened.
    std::vector<PoiFile*> LookupOrder();
    // The file holding a live record with this key and name.
    PoiFile* Holding(const std::string& name, PoiKey key, std::optional<PoiSummary>* summary);
    // Opens one file into the set; false (logged) when it cannot be used.
    bool OpenOne(const std::string& path, PoiFile::Access access,
                 const std::vector<int>& categories);
    void ApplyCache(PoiFile* file) const;
    // Sets one of the cache limits and applies it to every open file; below 1 changes nothing.
    void SetCacheLimit(SHORT value, int* limit);
    // A client's record as it is written, with the bytes of the media file to store with it.
    struct RecordToWrite {
        PoiRecord record;
        std::string source, media;
        const std::string* Media() const { return source.empty() ? nullptr : &media; }
    };
    // Reads the record object and the media file at `mediaSource` (none for an empty path),
    // naming the record's media file after it when it has no name; false (logged) when the media
    // file cannot be read.
    bool ReadRecord(IPOIRecord* object, BSTR mediaSource, RecordToWrite* out);

    std::vector<std::unique_ptr<PoiFile>> m_files;
    PoiFile* m_active = nullptr;
    int m_cachePages = 0;
    int m_cacheKilobytes = 0;
    Log m_log;
};

// A POI record object of the runtime for a stored record, and the reverse.
HRESULT NewRecordObject(const PoiRecord& record, const std::string& file, IPOIRecord** out);
PoiRecord RecordFromObject(IPOIRecord* object);

} // namespace gpsdb

#endif // DATABASE_POIDATABASE_H_
