#include "assets/ModelLoader.h"
#include "physics/Object.h"

// Kept apart from the rest of the class so that bodies built by hand need
// no model loader.
Object::Object(const std::string& name, double mass_) : mass(mass_), kind(0), meshCount(1)
{
    meshes = new Mesh[1];
    Mesh& mesh = meshes[0];
    mesh = ModelLoader::getInstance().getMesh(name, true);
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
