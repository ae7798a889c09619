// The 3D view: the last exported solid as the other files hold it (closed,
// upright, in millimetres), lit, framed, turned and zoomed with the mouse,
// or from the keyboard: arrow keys turn it, + and - zoom.
import * as THREE from 'three';
import { OrbitControls } from 'three/addons/controls/OrbitControls.js';

const BACKGROUND = 0x2c2c33;
const FIELD_OF_VIEW = 35; // degrees, vertical
// Seen from the front, a little from the right and above, so the solid reads as 3D.
const VIEW_DIRECTION = new THREE.Vector3(0.45, 0.35, 1).normalize();
// A key's turn and zoom.
const TURN = Math.PI / 12;
const ZOOM = 1.25;
const KEYS = {
  ArrowLeft: [-TURN, 0, 1],
  ArrowRight: [TURN, 0, 1],
  ArrowUp: [0, -TURN, 1],
  ArrowDown: [0, TURN, 1],
  '+': [0, 0, 1 / ZOOM],
  '=': [0, 0, 1 / ZOOM],
  '-': [0, 0, ZOOM],
  '\u2212': [0, 0, ZOOM],
};

export function createPreview(canvas, note) {
  const renderer = new THREE.WebGLRenderer({ canvas, antialias: true });
  renderer.setPixelRatio(window.devicePixelRatio);
  renderer.setSize(canvas.clientWidth, canvas.clientHeight, false);

  const scene = new THREE.Scene();
  scene.background = new THREE.Color(BACKGROUND);
  scene.add(new THREE.HemisphereLight(0xffffff, 0x404048, 1.2));
  const camera = new THREE.PerspectiveCamera(
    FIELD_OF_VIEW,
    canvas.clientWidth / canvas.clientHeight,
  );
  // The key light comes from the viewer, so the side in view is always lit.
  const keyLight = new THREE.DirectionalLight(0xffffff, 1.8);
  keyLight.position.set(1, 1, 2);
  camera.add(keyLight);
  scene.add(camera);

  const controls = new OrbitControls(camera, canvas);
  const render = () => renderer.render(scene, camera);
  controls.addEventListener('change', render);

  // Around the solid's centre: round the upright axis, over the top, nearer.
  const orbit = new THREE.Spherical();
  canvas.addEventListener('keydown', (event) => {
    const step = KEYS[event.key];
    if (step === undefined || event.altKey || event.ctrlKey || event.metaKey) {
      return;
    }
    event.preventDefault();
    const offset = camera.position.clone().sub(controls.target);
    orbit.setFromVector3(offset);
    orbit.theta += step[0];
    orbit.phi = THREE.MathUtils.clamp(orbit.phi + step[1], 0.01, Math.PI - 0.01);
    orbit.radius *= step[2];
    camera.position.copy(controls.target).add(offset.setFromSpherical(orbit));
    controls.update();
  });

  // The page sizes the view to the window: follow it.
  new ResizeObserver(() => {
    renderer.setPixelRatio(window.devicePixelRatio);
    renderer.setSize(canvas.clientWidth, canvas.clientHeight, false);
    camera.aspect = canvas.clientWidth / canvas.clientHeight;
    camera.updateProjectionMatrix();
    render();
  }).observe(canvas);

  // Flat shading shows the facets as the files hold them; only the outside
  // is drawn, as the solid is closed.
  const material = new THREE.MeshPhongMaterial({ flatShading: true });
  let solid = null;
  // How many exports the view has shown, on the canvas for scripts and tests.
  let exportsShown = 0;

  function frame(object) {
    // The page may have just resized the view: frame for its size now.
    camera.aspect = canvas.clientWidth / canvas.clientHeight;
    const box = new THREE.Box3().setFromObject(object);
    const centre = box.getCenter(new THREE.Vector3());
    const radius = Math.max(box.getSize(new THREE.Vector3()).length() / 2, 1e-3);
    // The narrower of the two fields of view must hold the whole solid.
    const halfHeight = Math.tan(THREE.MathUtils.degToRad(FIELD_OF_VIEW / 2));
    const halfAngle = Math.atan(halfHeight * Math.min(1, camera.aspect));
    const distance = (radius / Math.sin(halfAngle)) * 1.1;
    camera.near = distance / 100;
    camera.far = distance * 100;
    camera.position.copy(centre).addScaledVector(VIEW_DIRECTION, distance);
    camera.updateProjectionMatrix();
    controls.target.copy(centre);
    controls.update();
  }

  // Shows `geometry` (the view disposes of it later), or, when null, an
  // empty view that says so (the page says why beside the offers).
  function show(geometry) {
    if (solid !== null) {
      scene.remove(solid);
      solid.geometry.dispose();
      solid = null;
    }
    if (geometry !== null) {
      solid = new THREE.Mesh(geometry, material);
      scene.add(solid);
      frame(solid);
    } else {
      note.textContent = 'No solid to show.';
    }
    note.hidden = geometry !== null;
    render();
    exportsShown += 1;
    canvas.dataset.shown = String(exportsShown);
  }

  render();
  return { show };
}
