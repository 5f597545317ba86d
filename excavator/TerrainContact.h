#pragma once

#include "physics/PairRecord.h"

class Excavator;
class Terrain;
class Mesh;
struct MeshTriangle;
struct Vector3;

// The (terrain, machine) pair: each terrain block against each part
// outline, the terrain as body A. The bucket, and the bending arm while the
// terrain digs, meet the ground through the digging variant. Ends with the
// digging flag updates.
ContactResult testExcavatorTerrain(Excavator& excavator, Terrain& terrain, PairRecord& record);

// One block against one part; Penetrating at the first penetrating triangle pair.
ContactResult testPartAgainstBlock(Excavator& excavator, Mesh& part, Terrain& terrain, Mesh& block,
                                   PairRecord& record);

// A terrain triangle against a bucket or arm triangle. No contacts where
// the ground at the feature is air or the lip cuts (cutThisStep), none at all
// while digging, InSoil while the bucket is in the soil.
ContactResult testBucketTriangles(const MeshTriangle& terrainTriangle, Mesh& block, Terrain& terrain,
                                  const MeshTriangle& partTriangle, Mesh& part, Excavator& excavator,
                                  PairRecord& record);

// True, and cuttingContact set, when the joints move the bucket tip lip first.
bool cuttingTest(Excavator& excavator);

// While the terrain digs: the soil voxels inside the part either stop the
// joints that drive it into them or, for a bucket in the soil, go into it.
void dig(Terrain& terrain, Mesh& block, Mesh& part, Excavator& excavator);

enum BucketAnswer { PassThrough = 0, Blocked = 1, TakeSoil = 2 };
// What a bucket in the soil does with a voxel it moves through along the
// unit world direction `motion`.
BucketAnswer bucketAccepts(const Excavator& excavator, const Vector3& motion);

struct SimulationHooks;
// What the step needs of a scene with this machine: its terrain pair test,
// the machine as the body lifted on giving up, its sliding on driven tracks.
SimulationHooks machineHooks(Excavator* machine);
