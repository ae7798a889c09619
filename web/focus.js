// While the editor runs, the keys belong to it: a pointer interaction that
// leaves the keyboard focus on no control (turning the 3D view, a click on
// empty page) gives it back to the editor, so Tab exports and Escape ends
// without a click on the editor first. Links, buttons and other controls keep
// the focus they take, as on any page; the 3D view takes it from the keyboard
// alone.
const editor = document.getElementById('editor');
const CONTROLS = 'a[href], button, input, select, textarea, label, summary, [contenteditable]';

// On the release: the press has moved the focus (or not) by then.
window.addEventListener('pointerup', (event) => {
  const focused = document.activeElement;
  if (
    document.body.dataset.state !== 'running' ||
    event.target.closest?.(CONTROLS) ||
    focused?.closest(CONTROLS)
  ) {
    return;
  }
  editor.focus({ preventScroll: true });
});
