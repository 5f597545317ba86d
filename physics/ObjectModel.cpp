#include "physics/Object.h"

Object::Object(const Mesh& model, double mass_) : mass(mass_), kind(0), meshCount(1)
{
    meshes = new Mesh[1];
    Mesh& mesh = meshes[0];
    mesh = model;
    mesh.computeProperties();
    mesh.referencePoint = Vector3();
    // The body origin is the centre of mass.
    mesh.translate(-mesh.centreOfMass);
    radius = mesh.boundingRadius;
    position = mesh.centreOfMass;
    predictedPosition = position;
    inertiaBody = mesh.inertia * mass;
    inverseInertiaBody = inverse(inertiaBody);
    inverseInertiaWorld = inverseInertiaBody;
    restitution = 0.34;
    friction = 0.5;
}
