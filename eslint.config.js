// ESLint for every JavaScript file of ours: the recommended rules (unused
// variables and undeclared names among them, as errors), with the globals of
// wherever each file runs.
import js from '@eslint/js';
import globals from 'globals';

export default [
  { ignores: ['build/', 'node_modules/'] },
  js.configs.recommended,
  {
    rules: {
      'no-unused-vars': [
        'error',
        {
          args: 'all',
          argsIgnorePattern: '^_',
          caughtErrors: 'all',
          caughtErrorsIgnorePattern: '^_',
        },
      ],
    },
  },
  // The page: modules in the browser.
  {
    files: ['web/**/*.js'],
    languageOptions: { globals: globals.browser },
  },
  // Node tools. The tests, benchmarks and harness also hand functions to the
  // page, which run there.
  {
    files: ['**/*.mjs', 'eslint.config.js'],
    languageOptions: { globals: globals.node },
  },
  {
    files: ['harness/**/*.mjs', 'tests/**/*.mjs', 'bench/**/*.mjs', 'scripts/**/*.mjs'],
    languageOptions: { globals: { ...globals.node, ...globals.browser } },
  },
  // The browser back end's JavaScript half: a script Emscripten merges into
  // the program's own, beside the names it defines there.
  {
    files: ['platform/standin/web/web_library.js'],
    languageOptions: {
      sourceType: 'script',
      globals: {
        ...globals.browser,
        mergeInto: 'readonly',
        LibraryManager: 'readonly',
        Module: 'readonly',
        Asyncify: 'readonly',
        FS: 'readonly',
        HEAPU8: 'readonly',
        HEAPU32: 'readonly',
        UTF8ToString: 'readonly',
        callUserCallback: 'readonly',
        // Ours: a library function of this file, and the program's exports.
        editorPixel: 'readonly',
        _kestrovan_pointer: 'readonly',
        _kestrovan_press_key: 'readonly',
      },
    },
  },
];
