/* A second host for the module, in plain C, that shares nothing with it: its records are
 * declared here, from the modeller's published plug-in interface (the "MeshDataEdit" class as
 * LightWave 2019 and later hand it out, class version 9), not taken from the module's sources.
 * It loads a module file, runs its "MeshDataEdit" server once on a mesh read from an OBJ file
 * with every face selected, and prints the edit the module made, one call a line:
 *
 *     addFace A B -> N        a two-point polygon between points A and B (0-based), polygon N
 *     polTag N COLR VALUE     a tag on polygon N
 *     remPoly J               polygon J removed
 *     error TEXT              a message shown to the user (also info, warning)
 *     done ERROR SELMODE
 *     result R                what the activation returned
 *
 * Every operation of the edit record that the tool has no business calling is a trap: the run
 * ends at once, exit code 70, naming the operation. So does a record read at the wrong place.
 *
 *     published-host MODULE_FILE MESH.obj
 */
#include <math.h>
#include <stdarg.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#ifdef _WIN32
#define WIN32_LEAN_AND_MEAN
#define NOGDI
#include <windows.h>
#else
#include <dlfcn.h>
#endif

#if defined(_WIN32) && defined(__i386__)
#define HOSTCALL __cdecl
#else
#define HOSTCALL
#endif

/* ---- The published records ------------------------------------------------------------- */

typedef void* PointId;
typedef void* PolygonId;
typedef void* EditState;
typedef uint32_t Code; /* four characters, the first in the most significant byte */

typedef struct {
    PointId pnt;
    void* userData;
    int layer;
    int flags;
    double position[3];
    float* vmapVec;
    int numEdges;
    const void* edges;
    void* meshid;
} PointInfo;

typedef struct {
    PolygonId pol;
    void* userData;
    int layer;
    int flags;
    int numPnts;
    const PointId* points;
    const char* surface;
    Code type;
    int typeFlags;
    unsigned int smGrps;
    void* meshid;
} PolygonInfo;

typedef int HOSTCALL ScanFunc(void* data, const PolygonInfo* polygon);
typedef void(HOSTCALL* Trap)(void);

typedef struct {
    EditState state;
    int layerNum;
    void(HOSTCALL* done)(EditState, int error, int selm);
    Trap pointCount;
    int(HOSTCALL* polyCount)(EditState, int layer, int mode);
    Trap pointScan;
    int(HOSTCALL* polyScan)(EditState, ScanFunc*, void*, int layer);
    PointInfo*(HOSTCALL* pointInfo)(EditState, PointId);
    Trap polyInfo;
    int(HOSTCALL* polyNormal)(EditState, PolygonId, double[3]);
    Trap addPoint;
    PolygonId(HOSTCALL* addFace)(EditState, const char* surface, int count, const PointId*);
    Trap addCurve, addQuad, addTri, addPatch, remPoint;
    int(HOSTCALL* remPoly)(EditState, PolygonId);
    Trap pntMove, polSurf, polPnts, polFlag;
    int(HOSTCALL* polTag)(EditState, PolygonId, Code type, const char* text);
    Trap pntVMap, addPoly, addIPnt, initUV, pointVSet, pointVGet, polyTag, pntSelect, polSelect,
        pointVPGet, pointVEval, pntVPMap;
    /* LightWave 9 and later go on with edge, fast-scan and layer operations. */
    Trap later[40];
} EditRecord;

typedef struct {
    void(HOSTCALL* info)(const char*, const char*);
    void(HOSTCALL* error)(const char*, const char*);
    void(HOSTCALL* warning)(const char*, const char*);
    Trap later[8];
} MessageRecord;

typedef void* HOSTCALL GlobalFunc(const char* service, int use);
typedef int HOSTCALL ActivateFunc(int version, GlobalFunc*, void* local, void* serverData);

typedef struct {
    const char* string;
    uint32_t tag;
} ServerTag;

typedef struct {
    const char* className;
    const char* name;
    ActivateFunc* activate;
    const ServerTag* tags;
} ServerEntry;

typedef struct {
    uint32_t sysSync, sysVersion, sysMachine;
    void*(HOSTCALL* startup)(void);
    void(HOSTCALL* shutdown)(void*);
    const ServerEntry* servers;
} Descriptor;

/* ---- The mesh ------------------------------------------------------------------------------ */

typedef struct {
    int first; /* into polygonPoints */
    int count;
    int removed;
} MeshPolygon;

static double* positions; /* three a point */
static int pointCount, pointRoom;
static MeshPolygon* polygons;
static int polygonCount, polygonRoom, selectedCount;
static int* polygonPoints;
static int polygonPointCount, polygonPointRoom;
static int editOpen;

static void fail(const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    fputs("published-host: ", stderr);
    vfprintf(stderr, format, arguments);
    fputc('\n', stderr);
    va_end(arguments);
    exit(70);
}

static void* grow(void* block, int* room, int needed, size_t size) {
    if (needed <= *room) {
        return block;
    }
    *room = needed * 2 + 16;
    block = realloc(block, (size_t)*room * size);
    if (block == NULL) {
        fail("out of memory");
    }
    return block;
}

static int addPolygon(const int* ids, int count) {
    polygons = grow(polygons, &polygonRoom, polygonCount + 1, sizeof *polygons);
    polygonPoints = grow(polygonPoints, &polygonPointRoom, polygonPointCount + count, sizeof(int));
    memcpy(polygonPoints + polygonPointCount, ids, (size_t)count * sizeof(int));
    polygons[polygonCount].first = polygonPointCount;
    polygons[polygonCount].count = count;
    polygons[polygonCount].removed = 0;
    polygonPointCount += count;
    return polygonCount++;
}

/* "v x y z" and "f a b c ..." (a vertex given as a, a/t, a//n or a/t/n; negative counts back);
 * every other statement is left out. */
static void readObj(const char* path) {
    FILE* file = fopen(path, "r");
    char line[4096];
    int ids[256];
    if (file == NULL) {
        fail("cannot read %s", path);
    }
    while (fgets(line, sizeof line, file) != NULL) {
        if (line[0] == 'v' && line[1] == ' ') {
            positions = grow(positions, &pointRoom, (pointCount + 1) * 3, sizeof(double));
            if (sscanf(line + 2, "%lf %lf %lf", &positions[pointCount * 3],
                       &positions[pointCount * 3 + 1], &positions[pointCount * 3 + 2]) != 3) {
                fail("%s: a vertex without three numbers: %s", path, line);
            }
            ++pointCount;
        } else if (line[0] == 'f' && line[1] == ' ') {
            int count = 0;
            char* cursor = line + 2;
            char* end = NULL;
            for (;;) {
                long index = strtol(cursor, &end, 10);
                if (end == cursor) {
                    break;
                }
                if (count == 256) {
                    fail("%s: a face of more than 256 points", path);
                }
                index = index < 0 ? pointCount + index : index - 1;
                if (index < 0 || index >= pointCount) {
                    fail("%s: a face names no vertex: %s", path, line);
                }
                ids[count++] = (int)index;
                cursor = end;
                while (*cursor != '\0' && *cursor != ' ' && *cursor != '\t' && *cursor != '\n' &&
                       *cursor != '\r') {
                    ++cursor; /* the /t/n part */
                }
            }
            addPolygon(ids, count);
        }
    }
    fclose(file);
    selectedCount = polygonCount;
}

/* ---- The host's side of the edit ----------------------------------------------------------- */

static PointInfo pointRecord;
static EditRecord edit;
static MessageRecord messages;
static Trap fileRecord[64];
static int editStateToken;

static int pointIndex(PointId id) {
    uintptr_t raw = (uintptr_t)id;
    return raw == 0 || raw > (uintptr_t)pointCount ? -1 : (int)(raw - 1);
}

static int polygonIndex(PolygonId id) {
    uintptr_t raw = (uintptr_t)id;
    return raw == 0 || raw > (uintptr_t)polygonCount ? -1 : (int)(raw - 1);
}

static void checkState(EditState state, const char* operation) {
    if (state != (EditState)&editStateToken) {
        fail("%s was given an edit state that is not the edit's", operation);
    }
}

static void HOSTCALL doneEntry(EditState state, int error, int selm) {
    checkState(state, "done");
    printf("done %d %d\n", error, selm);
    editOpen = 0;
}

static int HOSTCALL polyCountEntry(EditState state, int layer, int mode) {
    checkState(state, "polyCount");
    if (layer != 0) {
        return 0;
    }
    return mode == 1 ? selectedCount : polygonCount;
}

static int HOSTCALL polyScanEntry(EditState state, ScanFunc* callback, void* data, int layer) {
    int j;
    int count = polygonCount;
    PointId* ids = NULL;
    int idRoom = 0;
    checkState(state, "polyScan");
    if (callback == NULL) {
        return 5;
    }
    for (j = 0; j < count && layer == 0; ++j) {
        PolygonInfo info;
        int k;
        int result;
        if (polygons[j].removed) {
            continue;
        }
        ids = grow(ids, &idRoom, polygons[j].count, sizeof *ids);
        for (k = 0; k < polygons[j].count; ++k) {
            ids[k] = (PointId)(uintptr_t)(polygonPoints[polygons[j].first + k] + 1);
        }
        memset(&info, 0, sizeof info);
        info.pol = (PolygonId)(uintptr_t)(j + 1);
        info.flags = 1; /* selected */
        info.numPnts = polygons[j].count;
        info.points = ids;
        info.surface = "Default";
        info.type = 0x46414345u; /* FACE */
        result = callback(data, &info);
        if (result != 0) {
            free(ids);
            return result;
        }
    }
    free(ids);
    return 0;
}

static PointInfo* HOSTCALL pointInfoEntry(EditState state, PointId point) {
    int i = pointIndex(point);
    checkState(state, "pointInfo");
    if (i < 0) {
        return NULL;
    }
    memset(&pointRecord, 0, sizeof pointRecord);
    pointRecord.pnt = point;
    pointRecord.position[0] = positions[i * 3];
    pointRecord.position[1] = positions[i * 3 + 1];
    pointRecord.position[2] = positions[i * 3 + 2];
    return &pointRecord;
}

/* Newell's normal of the polygon, in a fixed order of operations, normalised. */
static int HOSTCALL polyNormalEntry(EditState state, PolygonId polygon, double normal[3]) {
    int j = polygonIndex(polygon);
    double nx = 0.0, ny = 0.0, nz = 0.0, length;
    int k, n;
    checkState(state, "polyNormal");
    normal[0] = normal[1] = normal[2] = 0.0;
    if (j < 0 || polygons[j].count < 3) {
        return 0;
    }
    n = polygons[j].count;
    for (k = 0; k < n; ++k) {
        const double* a = positions + 3 * polygonPoints[polygons[j].first + k];
        const double* b = positions + 3 * polygonPoints[polygons[j].first + (k + 1) % n];
        nx += (a[1] - b[1]) * (a[2] + b[2]);
        ny += (a[2] - b[2]) * (a[0] + b[0]);
        nz += (a[0] - b[0]) * (a[1] + b[1]);
    }
    length = sqrt(nx * nx + ny * ny + nz * nz);
    if (length == 0.0) {
        return 0;
    }
    normal[0] = nx / length;
    normal[1] = ny / length;
    normal[2] = nz / length;
    return 1;
}

static PolygonId HOSTCALL addFaceEntry(EditState state, const char* surface, int count,
                                       const PointId* points) {
    int ids[2];
    int k;
    int j;
    checkState(state, "addFace");
    if (!editOpen || surface == NULL || count != 2 || points == NULL) {
        fail("addFace: the tool adds two-point polygons in an open edit, not %d points", count);
    }
    for (k = 0; k < 2; ++k) {
        ids[k] = pointIndex(points[k]);
        if (ids[k] < 0) {
            fail("addFace: a point the mesh does not hold");
        }
    }
    j = addPolygon(ids, 2);
    printf("addFace %d %d -> %d\n", ids[0], ids[1], j);
    return (PolygonId)(uintptr_t)(j + 1);
}

static int HOSTCALL remPolyEntry(EditState state, PolygonId polygon) {
    int j = polygonIndex(polygon);
    checkState(state, "remPoly");
    if (!editOpen || j < 0 || polygons[j].removed) {
        return 5;
    }
    polygons[j].removed = 1;
    printf("remPoly %d\n", j);
    return 0;
}

static int HOSTCALL polTagEntry(EditState state, PolygonId polygon, Code type, const char* text) {
    int j = polygonIndex(polygon);
    checkState(state, "polTag");
    if (!editOpen || j < 0 || text == NULL) {
        return 5;
    }
    printf("polTag %d %c%c%c%c %s\n", j, (int)(type >> 24 & 0xff), (int)(type >> 16 & 0xff),
           (int)(type >> 8 & 0xff), (int)(type & 0xff), text);
    return 0;
}

static void HOSTCALL infoEntry(const char* a, const char* b) {
    printf("info %s%s%s\n", a != NULL ? a : "", b != NULL ? " / " : "", b != NULL ? b : "");
}

static void HOSTCALL errorEntry(const char* a, const char* b) {
    printf("error %s%s%s\n", a != NULL ? a : "", b != NULL ? " / " : "", b != NULL ? b : "");
}

static void HOSTCALL warningEntry(const char* a, const char* b) {
    printf("warning %s%s%s\n", a != NULL ? a : "", b != NULL ? " / " : "", b != NULL ? b : "");
}

static void* HOSTCALL globalEntry(const char* service, int use) {
    (void)use;
    if (service != NULL && strcmp(service, "Info Messages 2") == 0) {
        return &messages;
    }
    if (service != NULL && strcmp(service, "File IO") == 0) {
        return fileRecord;
    }
    return NULL;
}

typedef EditRecord* HOSTCALL BeginFunc(int, int, int);

static EditRecord* HOSTCALL beginEntry(int pointBuffer, int polygonBuffer, int selection) {
    (void)pointBuffer;
    (void)polygonBuffer;
    (void)selection;
    editOpen = 1;
    return &edit;
}

#define TRAP(name)                                                           \
    static void HOSTCALL name##Trap(void) {                                  \
        fail("the module called the edit record's " #name                    \
             ", which it never "                                             \
             "should: it does not read the record as the host lays it out"); \
    }
TRAP(pointCount)
TRAP(pointScan)
TRAP(polyInfo)
TRAP(addPoint)
TRAP(addCurve)
TRAP(addQuad)
TRAP(addTri)
TRAP(addPatch)
TRAP(remPoint)
TRAP(pntMove)
TRAP(polSurf)
TRAP(polPnts)
TRAP(polFlag)
TRAP(pntVMap)
TRAP(addPoly)
TRAP(addIPnt)
TRAP(initUV)
TRAP(pointVSet)
TRAP(pointVGet)
TRAP(polyTag)
TRAP(pntSelect)
TRAP(polSelect)
TRAP(pointVPGet)
TRAP(pointVEval)
TRAP(pntVPMap)
TRAP(laterOperation)
TRAP(laterService)

static void fillRecords(void) {
    int k;
    edit.state = (EditState)&editStateToken;
    edit.layerNum = 1;
    edit.done = doneEntry;
    edit.pointCount = pointCountTrap;
    edit.polyCount = polyCountEntry;
    edit.pointScan = pointScanTrap;
    edit.polyScan = polyScanEntry;
    edit.pointInfo = pointInfoEntry;
    edit.polyInfo = polyInfoTrap;
    edit.polyNormal = polyNormalEntry;
    edit.addPoint = addPointTrap;
    edit.addFace = addFaceEntry;
    edit.addCurve = addCurveTrap;
    edit.addQuad = addQuadTrap;
    edit.addTri = addTriTrap;
    edit.addPatch = addPatchTrap;
    edit.remPoint = remPointTrap;
    edit.remPoly = remPolyEntry;
    edit.pntMove = pntMoveTrap;
    edit.polSurf = polSurfTrap;
    edit.polPnts = polPntsTrap;
    edit.polFlag = polFlagTrap;
    edit.polTag = polTagEntry;
    edit.pntVMap = pntVMapTrap;
    edit.addPoly = addPolyTrap;
    edit.addIPnt = addIPntTrap;
    edit.initUV = initUVTrap;
    edit.pointVSet = pointVSetTrap;
    edit.pointVGet = pointVGetTrap;
    edit.polyTag = polyTagTrap;
    edit.pntSelect = pntSelectTrap;
    edit.polSelect = polSelectTrap;
    edit.pointVPGet = pointVPGetTrap;
    edit.pointVEval = pointVEvalTrap;
    edit.pntVPMap = pntVPMapTrap;
    for (k = 0; k < 40; ++k) {
        edit.later[k] = laterOperationTrap;
    }
    messages.info = infoEntry;
    messages.error = errorEntry;
    messages.warning = warningEntry;
    for (k = 0; k < 8; ++k) {
        messages.later[k] = laterServiceTrap;
    }
}

/* ---- Loading the module -------------------------------------------------------------------- */

static const Descriptor* loadDescriptor(const char* path) {
    void* symbol;
#ifdef _WIN32
    HMODULE library = LoadLibraryA(path);
    if (library == NULL) {
        fail("cannot load %s (error %lu)", path, (unsigned long)GetLastError());
    }
    {
        /* The descriptor is data; the loader hands its address out as a function's. */
        FARPROC address = GetProcAddress(library, "_mod_descrip");
        memcpy(&symbol, &address, sizeof symbol);
    }
#else
    void* library = dlopen(path, RTLD_NOW | RTLD_LOCAL);
    if (library == NULL) {
        fail("cannot load %s: %s", path, dlerror());
    }
    symbol = dlsym(library, "_mod_descrip");
#endif
    if (symbol == NULL) {
        fail("%s exports no _mod_descrip", path);
    }
    return (const Descriptor*)symbol;
}

int main(int argc, char** argv) {
    const Descriptor* descriptor;
    const ServerEntry* server;
    void* serverData;
    int result;
    if (argc != 3) {
        fprintf(stderr, "usage: published-host MODULE_FILE MESH.obj\n");
        return 2;
    }
    readObj(argv[2]);
    fillRecords();
    descriptor = loadDescriptor(argv[1]);
    if (descriptor->sysSync != 0x04121994u || descriptor->sysVersion != 3u) {
        fail("%s: a module descriptor of another kind (sync %08x, version %u)", argv[1],
             (unsigned)descriptor->sysSync, (unsigned)descriptor->sysVersion);
    }
    for (server = descriptor->servers; server != NULL && server->className != NULL; ++server) {
        if (strcmp(server->className, "MeshDataEdit") == 0) {
            break;
        }
    }
    if (server == NULL || server->className == NULL || server->activate == NULL) {
        fail("%s has no MeshDataEdit server", argv[1]);
    }
    serverData = descriptor->startup != NULL ? descriptor->startup() : NULL;
    {
        /* The edit-begin function goes to the module as the activation's untyped argument. */
        void* local = NULL;
        BeginFunc* begin = beginEntry;
        memcpy(&local, &begin, sizeof local);
        result = server->activate(9, globalEntry, local, serverData);
    }
    if (descriptor->shutdown != NULL) {
        descriptor->shutdown(serverData);
    }
    printf("result %d\n", result);
    free(positions);
    free(polygons);
    free(polygonPoints);
    return fflush(stdout) == 0 ? 0 : 1;
}
